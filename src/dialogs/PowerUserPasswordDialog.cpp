#include "dialogs/PowerUserPasswordDialog.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kivo {

PowerUserPasswordDialog::PowerUserPasswordDialog(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("PasswordForm");
    setWindowTitle("PasswordForm");
    auto* layout = new QVBoxLayout(this);
    auto* warning = new QLabel("Warning:  ", this);
    QFont bold = warning->font();
    bold.setBold(true);
    warning->setFont(bold);
    auto* risk = new QLabel(
        "Changing Advanced Setup Parameters May Result in a Non-Functioning Meter!", this);
    risk->setWordWrap(true);
    auto* prompt = new QLabel("Power User Password", this);
    QFont underlined = prompt->font();
    underlined.setUnderline(true);
    prompt->setFont(underlined);
    password_ = new QLineEdit(this);
    password_->setObjectName("MEPassword");
    password_->setAccessibleName("Power User Password");
    prompt->setBuddy(password_);
    password_->setEchoMode(QLineEdit::Password);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BTPasswordOK");
    layout->addWidget(warning);
    layout->addWidget(risk);
    layout->addSpacing(8);
    layout->addWidget(prompt);
    layout->addWidget(password_);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    connect(ok_, &QPushButton::clicked, this, &PowerUserPasswordDialog::BTPasswordOKClick);
    connect(password_, &QLineEdit::returnPressed, this,
            &PowerUserPasswordDialog::BTPasswordOKClick);
}

void PowerUserPasswordDialog::ShowInFront() {
    show();
    raise();
    activateWindow();
    password_->setFocus();  // typed at once, Enter sends it: no mouse needed
}

void PowerUserPasswordDialog::BTPasswordOKClick() {
    hide();
    emit Entered(password_->text());
}

}  // namespace kivo
