#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace kivo {

// The memory-full warning: never modal, hidden by its OK button.
class MemoryFullWindow : public QWidget {
    Q_OBJECT
public:
    explicit MemoryFullWindow(QWidget* parent = nullptr);
    void ShowInFront();

public slots:
    void Button1Click();

private:
    QLabel* label_;
    QPushButton* ok_;
};

}  // namespace kivo
