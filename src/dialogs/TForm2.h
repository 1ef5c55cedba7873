#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace kivo {

// The memory-full warning: never modal, hidden by its OK button.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    void ShowInFront();

public slots:
    void Button1Click();

private:
    QLabel* label_;
    QPushButton* ok_;
};

}  // namespace kivo
