#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>

#include "core/seams/GpsSettings.h"

namespace kivo {

// The GPS window: whether positions come from gpsd, and where gpsd runs (this computer, or
// the ship's server).
class GpsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GpsDialog(const GpsSettings& current, QWidget* parent = nullptr);
    GpsSettings Settings() const;

private:
    QCheckBox* use_;
    QLineEdit* host_;
    QSpinBox* port_;
};

}  // namespace kivo
