#include "dialogs/ShipFeedDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kivo {

ShipFeedDialog::ShipFeedDialog(const ShipFeedSettings& current, QWidget* parent)
    : QDialog(parent),
      send_(new QCheckBox("&Send each sample as a UDP datagram", this)),
      host_(new QLineEdit(QString::fromStdString(current.host), this)),
      port_(new QSpinBox(this)),
      tag_(new QLineEdit(QString::fromStdString(current.tag), this)) {
    setObjectName("ShipFeedDialog");
    setWindowTitle("Ship Feed");
    send_->setObjectName("CBSendFeed");
    send_->setChecked(current.enabled);
    host_->setObjectName("EDFeedHost");
    port_->setObjectName("EDFeedPort");
    port_->setRange(0, 65535);
    port_->setSpecialValueText("none");
    port_->setValue(current.port);
    tag_->setObjectName("EDFeedTag");
    tag_->setPlaceholderText("the device file's name");
    auto* form = new QFormLayout;
    form->addRow(send_);
    form->addRow("&Host:", host_);
    form->addRow("&Port:", port_);
    form->addRow("&Tag:", tag_);
    auto* hint = new QLabel(
        "Each datagram is the tag, a comma and the sample's line of the CSV recording (no "
        "quality flags), ending in CR LF. A datagram that cannot go is counted, never waited "
        "for.",
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

ShipFeedSettings ShipFeedDialog::Settings() const {
    ShipFeedSettings settings;
    settings.enabled = send_->isChecked();
    settings.host = host_->text().trimmed().toStdString();
    settings.port = port_->value();
    settings.tag = tag_->text().trimmed().toStdString();
    return settings;
}

}  // namespace kivo
