#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>

#include "core/seams/ShipFeedSettings.h"

namespace kivo {

// The ship feed's window: whether each sample goes as a UDP datagram to the ship's data
// system, the host and port it listens on, and the tag the lines begin with.
class ShipFeedDialog : public QDialog {
    Q_OBJECT
public:
    explicit ShipFeedDialog(const ShipFeedSettings& current, QWidget* parent = nullptr);
    ShipFeedSettings Settings() const;

private:
    QCheckBox* send_;
    QLineEdit* host_;
    QSpinBox* port_;
    QLineEdit* tag_;
};

}  // namespace kivo
