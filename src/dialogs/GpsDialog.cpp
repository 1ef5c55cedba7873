#include "dialogs/GpsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kivo {

GpsDialog::GpsDialog(const GpsSettings& current, QWidget* parent)
    : QDialog(parent),
      use_(new QCheckBox("&Use GPS positions from gpsd", this)),
      host_(new QLineEdit(QString::fromStdString(current.host), this)),
      port_(new QSpinBox(this)) {
    setObjectName("GpsDialog");
    setWindowTitle("GPS");
    use_->setObjectName("CBUseGps");
    use_->setChecked(current.enabled);
    host_->setObjectName("EDGpsHost");
    port_->setObjectName("EDGpsPort");
    port_->setRange(1, 65535);
    port_->setValue(current.port);
    auto* form = new QFormLayout;
    form->addRow(use_);
    form->addRow("&Host:", host_);
    form->addRow("&Port:", port_);
    auto* hint = new QLabel(
        "gpsd reads the receiver (serial, USB or the ship's network feed); see the README's "
        "\"Position and time\". Port 2947 is gpsd's own.",
        this);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

GpsSettings GpsDialog::Settings() const {
    GpsSettings settings;
    settings.enabled = use_->isChecked();
    const QString host = host_->text().trimmed();
    if (!host.isEmpty()) settings.host = host.toStdString();
    settings.port = port_->value();
    return settings;
}

}  // namespace kivo
