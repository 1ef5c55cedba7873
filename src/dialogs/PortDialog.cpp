#include "dialogs/PortDialog.h"

#include <QVBoxLayout>

#include "dialogs/BaudRateItems.h"

namespace kivo {

PortDialog::PortDialog(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("SelectHPForm");
    setWindowTitle("Select Host Port");
    resize(292, 336);
    auto* layout = new QVBoxLayout(this);
    hprg_ = new RadioGroup(
        "HPRG", QString(),
        {"OFF", "COM 1", "COM 2", "COM 3", "COM4", "COM5", "COM6", "COM7", "COM8"}, 3, this);
    hprg_->SetItemIndex(0);
    hprg_->setAccessibleName("Host Port");
    brrg_ = new RadioGroup("BRRG", "Baud Rate", BaudRateItems(), 2, this);
    brrg_->SetItemIndex(kDefaultBaudItem);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BTOK");
    layout->addWidget(hprg_);
    layout->addWidget(brrg_);
    layout->addStretch(1);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    connect(ok_, &QPushButton::clicked, this, &PortDialog::BTOKClick);
}

void PortDialog::ShowInFront() {
    show();
    raise();
    activateWindow();
}

void PortDialog::BTOKClick() {
    const int port = hprg_->ItemIndex();
    const int baud = brrg_->ItemIndex();
    emit Chosen(port, baud);
    hide();
}

}  // namespace kivo
