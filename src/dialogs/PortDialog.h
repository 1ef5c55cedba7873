#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "core/host/ComPortMap.h"
#include "dialogs/RadioGroup.h"

class QComboBox;

namespace kivo {

// A serial device of this machine, as the port dialog offers it.
struct SerialDevice {
    QString path;      // what a COM number is mapped to: its /dev/serial/by-id name if any
    QString location;  // the kernel's node, /dev/ttyUSB0
    QString description;
    QString serialNumber;
};

// The machine's serial devices (USB adapters, ACM devices, built-in ports), each named by
// the link in `byIdFolder` that leads to it where there is one: that name stays with the
// adapter whichever socket it is plugged into.
std::vector<SerialDevice> MachineSerialDevices(const QString& byIdFolder = "/dev/serial/by-id");
// Gives each device the name of a link in `byIdFolder` that resolves to its location.
void NameByIds(std::vector<SerialDevice>& devices, const QString& byIdFolder);

// The "Select Host Port" dialog. Its selections are its own: they are not taken from the
// main window when it is shown again. Beside the COM numbers it lists the machine's serial
// devices: the one chosen stands for the selected COM number from then on.
class PortDialog : public QWidget {
    Q_OBJECT
public:
    using DeviceList = std::function<std::vector<SerialDevice>()>;

    // `devices` lists the machine's serial devices; asked again each time the dialog is shown.
    explicit PortDialog(QWidget* parent = nullptr, DeviceList devices = {});

    RadioGroup* HPRG() const { return hprg_; }
    RadioGroup* BRRG() const { return brrg_; }
    QComboBox* DeviceCombo() const { return device_; }
    // What each COM number stands for now: shown beside the numbers and preselected.
    void SetPorts(const ComPortMap& ports);
    // Lists the devices again, as when shown.
    void RefreshDevices();
    void ShowInFront();

signals:
    // OK pressed with a COM number selected whose device was changed; sent before Chosen.
    void DeviceChosen(int portNumber, const QString& devicePath);
    // OK pressed: the port item (0 "OFF", n COMn) and the speed item (0-3).
    void Chosen(int portItem, int baudItem);

public slots:
    void BTOKClick();

private:
    void ShowDeviceOf(int portItem);

    DeviceList listDevices_;
    ComPortMap ports_;
    RadioGroup* hprg_;
    RadioGroup* brrg_;
    QComboBox* device_;
    QPushButton* ok_;
};

}  // namespace kivo
