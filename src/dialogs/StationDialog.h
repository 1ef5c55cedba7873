#pragma once

#include <QDialog>
#include <QLineEdit>

#include "core/seams/StationHeader.h"

namespace kivo {

// The station window: where the recording is made, which cast, who made it, and a note.
// Offered as a recording starts and from the File menu; OK keeps the fields, Cancel keeps
// what was there.
class StationDialog : public QDialog {
    Q_OBJECT
public:
    explicit StationDialog(const StationHeader& proposed, QWidget* parent = nullptr);
    StationHeader Header() const;

private:
    QLineEdit* station_;
    QLineEdit* cast_;
    QLineEdit* operator_;
    QLineEdit* notes_;
};

}  // namespace kivo
