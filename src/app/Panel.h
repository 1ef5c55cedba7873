#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace kivo {

// A coloured caption panel that acts as a button ("Select COM Port", "Normal User").
class Panel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit clicked();
        QLabel::mouseReleaseEvent(event);
    }
};

}  // namespace kivo
