#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace kivo {

// The power-user password window. No cancel: its close box only hides it.
class PowerUserPasswordDialog : public QWidget {
    Q_OBJECT
public:
    explicit PowerUserPasswordDialog(QWidget* parent = nullptr);
    QLineEdit* MEPassword() const { return password_; }
    void ShowInFront();

signals:
    void Entered(const QString& entry);

public slots:
    void BTPasswordOKClick();

private:
    QLineEdit* password_;
    QPushButton* ok_;
};

}  // namespace kivo
