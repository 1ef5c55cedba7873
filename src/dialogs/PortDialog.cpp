#include "dialogs/PortDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSerialPortInfo>
#include <QVBoxLayout>
#include <utility>

#include "dialogs/BaudRateItems.h"

namespace kivo {

namespace {
QString ItemText(const SerialDevice& device) {
    QString text = device.path;
    QStringList about;
    if (!device.description.isEmpty()) about << device.description;
    if (!device.serialNumber.isEmpty()) about << "serial " + device.serialNumber;
    if (device.path != device.location) about << device.location;
    if (!about.isEmpty()) text += "  (" + about.join(", ") + ")";
    return text;
}
}  // namespace

void NameByIds(std::vector<SerialDevice>& devices, const QString& byIdFolder) {
    const QFileInfoList links =
        QDir(byIdFolder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (SerialDevice& device : devices) {
        const QString target = QFileInfo(device.location).canonicalFilePath();
        for (const QFileInfo& link : links) {
            if (!target.isEmpty() && link.canonicalFilePath() == target) {
                device.path = link.absoluteFilePath();
                break;
            }
        }
    }
}

std::vector<SerialDevice> MachineSerialDevices(const QString& byIdFolder) {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.push_back({info.systemLocation(), info.systemLocation(), info.description(),
                           info.serialNumber()});
    NameByIds(devices, byIdFolder);
    return devices;
}

PortDialog::PortDialog(QWidget* parent, DeviceList devices)
    : QWidget(parent, Qt::Window), listDevices_(std::move(devices)) {
    setObjectName("SelectHPForm");
    setWindowTitle("Select Host Port");
    resize(292, 336);
    auto* layout = new QVBoxLayout(this);
    hprg_ = new RadioGroup(
        "HPRG", QString(),
        {"OFF", "COM 1", "COM 2", "COM 3", "COM4", "COM5", "COM6", "COM7", "COM8"}, 3, this);
    hprg_->SetItemIndex(0);
    hprg_->setAccessibleName("Host Port");
    auto* deviceLabel = new QLabel("Device for the selected COM port:", this);
    deviceLabel->setObjectName("LBDevice");
    device_ = new QComboBox(this);
    device_->setObjectName("CBDevice");
    device_->setAccessibleName("Device for the selected COM port");
    // Long by-id names are shortened in the box; the whole name is in each item's tooltip.
    device_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    device_->setMinimumContentsLength(24);
    deviceLabel->setBuddy(device_);
    brrg_ = new RadioGroup("BRRG", "Baud Rate", BaudRateItems(), 2, this);
    brrg_->SetItemIndex(kDefaultBaudItem);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BTOK");
    layout->addWidget(hprg_);
    layout->addWidget(deviceLabel);
    layout->addWidget(device_);
    layout->addWidget(brrg_);
    layout->addStretch(1);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    setTabOrder(hprg_, device_);
    setTabOrder(device_, brrg_);
    connect(ok_, &QPushButton::clicked, this, &PortDialog::BTOKClick);
    connect(hprg_, &RadioGroup::Selected, this, &PortDialog::ShowDeviceOf);
    // The machine is asked for its devices only when the dialog is shown.
    for (int n = 1; n <= ComPortMap::kPorts; ++n)
        hprg_->Button(n)->setToolTip(QString::fromStdString(ports_.PathOf(n)));
    ShowDeviceOf(hprg_->ItemIndex());
}

void PortDialog::SetPorts(const ComPortMap& ports) {
    ports_ = ports;
    for (int n = 1; n <= ComPortMap::kPorts; ++n)
        hprg_->Button(n)->setToolTip(QString::fromStdString(ports_.PathOf(n)));
    RefreshDevices();
}

void PortDialog::RefreshDevices() {
    const QSignalBlocker quiet(device_);
    device_->clear();
    if (listDevices_) {
        for (const SerialDevice& device : listDevices_()) {
            device_->addItem(ItemText(device), device.path);
            device_->setItemData(device_->count() - 1, ItemText(device), Qt::ToolTipRole);
        }
    }
    ShowDeviceOf(hprg_->ItemIndex());
}

// The device list shows what the selected COM number stands for now; OFF has none.
void PortDialog::ShowDeviceOf(int portItem) {
    const QSignalBlocker quiet(device_);
    // The current mapping of a port not listed (unplugged, a pseudo-terminal) is offered too.
    for (int i = device_->count() - 1; i >= 0; --i)
        if (device_->itemData(i, Qt::UserRole + 1).toBool()) device_->removeItem(i);
    device_->setEnabled(portItem >= 1);
    if (portItem < 1) {
        device_->setCurrentIndex(-1);
        return;
    }
    const QString current = QString::fromStdString(ports_.PathOf(portItem));
    int index = device_->findData(current);
    if (index < 0) {
        device_->addItem(current, current);
        index = device_->count() - 1;
        device_->setItemData(index, true, Qt::UserRole + 1);
    }
    device_->setCurrentIndex(index);
}

void PortDialog::ShowInFront() {
    RefreshDevices();
    show();
    raise();
    activateWindow();
}

void PortDialog::BTOKClick() {
    const int port = hprg_->ItemIndex();
    const int baud = brrg_->ItemIndex();
    const QString device = device_->currentData().toString();
    if (port >= 1 && !device.isEmpty() && device.toStdString() != ports_.PathOf(port)) {
        ports_.Map(port, device.toStdString());
        hprg_->Button(port)->setToolTip(device);
        emit DeviceChosen(port, device);
    }
    emit Chosen(port, baud);
    hide();
}

}  // namespace kivo
