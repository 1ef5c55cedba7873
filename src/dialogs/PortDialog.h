#pragma once

#include <QPushButton>
#include <QWidget>

#include "dialogs/RadioGroup.h"

namespace kivo {

// The "Select Host Port" dialog. Its selections are its own: they are not taken from the
// main window when it is shown again.
class PortDialog : public QWidget {
    Q_OBJECT
public:
    explicit PortDialog(QWidget* parent = nullptr);

    RadioGroup* HPRG() const { return hprg_; }
    RadioGroup* BRRG() const { return brrg_; }
    void ShowInFront();

signals:
    // OK pressed: the port item (0 "OFF", n COMn) and the speed item (0-3).
    void Chosen(int portItem, int baudItem);

public slots:
    void BTOKClick();

private:
    RadioGroup* hprg_;
    RadioGroup* brrg_;
    QPushButton* ok_;
};

}  // namespace kivo
