#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <utility>

namespace kivo {

// A coloured caption panel that acts as a button ("Select COM Port", "Normal User"): a
// click, Enter or Space, or a screen reader's press all run the same handler.
class Panel : public QLabel {
    Q_OBJECT
public:
    explicit Panel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {
        InstallAccessibility();
        setFocusPolicy(Qt::StrongFocus);
    }

    void Press() { emit clicked(); }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            Press();
        QLabel::mouseReleaseEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Space:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Select:
                Press();
                event->accept();
                return;
            default:
                QLabel::keyPressEvent(event);
        }
    }

    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!hasFocus()) return;
        // A label draws no focus mark of its own; a keyboard user must see where he is.
        QPainter painter(this);
        QStyleOptionFocusRect mark;
        mark.initFrom(this);
        mark.rect = contentsRect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &mark, &painter, this);
    }

private:
    // What a screen reader sees: a button named by its caption, with a press action.
    class Accessible final : public QAccessibleWidget {
    public:
        explicit Accessible(Panel* panel) : QAccessibleWidget(panel, QAccessible::Button) {}
        QString text(QAccessible::Text kind) const override {
            const auto* panel = static_cast<const Panel*>(widget());
            if (kind == QAccessible::Name && panel->accessibleName().isEmpty())
                return panel->text();
            return QAccessibleWidget::text(kind);
        }
        QStringList actionNames() const override {
            return QStringList{pressAction()} + QAccessibleWidget::actionNames();
        }
        void doAction(const QString& action) override {
            if (action == pressAction())
                static_cast<Panel*>(widget())->Press();
            else
                QAccessibleWidget::doAction(action);
        }
    };

    static QAccessibleInterface* AccessibleFor(const QString&, QObject* object) {
        auto* panel = qobject_cast<Panel*>(object);
        return panel != nullptr ? new Accessible(panel) : nullptr;  // Qt owns it
    }

    static void InstallAccessibility() {
        static const bool installed = [] {
            QAccessible::installFactory(&Panel::AccessibleFor);
            return true;
        }();
        (void)installed;
    }
};

// A label that shows a file name: a long one is shortened in the middle to the room the
// layout gives, never the other way round, so a deep path cannot widen the window. The
// whole text stays the label's text, its accessible name and its tooltip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text, QWidget* parent = nullptr)
        : QLabel(text, parent), caption_(text) {
        setTextFormat(Qt::PlainText);
    }

    void SetText(const QString& text) {
        setText(text);
        setToolTip(text == caption_ ? QString() : text);
    }

    // Room for the caption it was made with, and a little more when there is some.
    QSize minimumSizeHint() const override {
        return {RoomFor(fontMetrics().horizontalAdvance(caption_ + QChar(0x2026))),
                QLabel::minimumSizeHint().height()};
    }
    QSize sizeHint() const override {
        return {minimumSizeHint().width() + 24 * fontMetrics().averageCharWidth(),
                QLabel::sizeHint().height()};
    }

    // The text as drawn at the present width.
    QString Shown() const {
        const int width = std::max(0, contentsRect().width() - 2 * margin());
        QStringList lines = text().split('\n');
        for (QString& line : lines) line = fontMetrics().elidedText(line, Qt::ElideMiddle, width);
        return lines.join('\n');
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        style()->drawItemText(&painter, area,
                              QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                              isEnabled(), Shown(), foregroundRole());
    }

private:
    int RoomFor(int textWidth) const { return textWidth + 2 * margin() + 2 * frameWidth(); }

    QString caption_;
};

// A status label whose value changes as data comes: it keeps room for its widest usual
// text ("Sample Rate: 999.99 Hz") from the start, so the window does not jump as it fills.
class ReservedLabel : public QLabel {
    Q_OBJECT
public:
    ReservedLabel(const QString& text, QString widest, QWidget* parent = nullptr)
        : QLabel(text, parent), widest_(std::move(widest)) {}

    QSize minimumSizeHint() const override { return Widened(QLabel::minimumSizeHint()); }
    QSize sizeHint() const override { return Widened(QLabel::sizeHint()); }

private:
    QSize Widened(QSize size) const {
        const int room = fontMetrics().horizontalAdvance(widest_) + 2 * margin() + 2 * frameWidth();
        size.setWidth(std::max(size.width(), room));
        return size;
    }

    QString widest_;
};

}  // namespace kivo
