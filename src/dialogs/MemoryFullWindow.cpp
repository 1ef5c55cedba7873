#include "dialogs/MemoryFullWindow.h"

#include <QPalette>
#include <QVBoxLayout>

namespace kivo {

MemoryFullWindow::MemoryFullWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Form2");
    setWindowTitle("WARNING!!!");
    QPalette red = palette();
    red.setColor(QPalette::Window, QColor(255, 0, 0));
    setPalette(red);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    label_ =
        new QLabel("    Internal Memory is Full.  Internal Logging has been stopped.    ", this);
    label_->setObjectName("Label1");
    QPalette text = label_->palette();
    text.setColor(QPalette::Window, text.color(QPalette::HighlightedText));
    label_->setPalette(text);
    label_->setAutoFillBackground(true);
    QFont bold = label_->font();
    bold.setBold(true);
    label_->setFont(bold);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("Button1");
    layout->addWidget(label_);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    connect(ok_, &QPushButton::clicked, this, &MemoryFullWindow::Button1Click);
}

void MemoryFullWindow::ShowInFront() {
    if (auto* owner = parentWidget()) {
        adjustSize();
        move(owner->geometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void MemoryFullWindow::Button1Click() { hide(); }

}  // namespace kivo
