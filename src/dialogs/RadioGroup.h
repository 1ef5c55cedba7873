#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace kivo {

// A captioned group of radio buttons in columns, with one selected index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& objectName, const QString& caption, const QStringList& items,
               int columns, QWidget* parent);
    int ItemIndex() const { return buttons_.checkedId(); }
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(buttons_.buttons().size()); }
    QAbstractButton* Button(int index) const { return buttons_.button(index); }

signals:
    // Item `index` became the selected one, by the operator or the program.
    void Selected(int index);

private:
    QButtonGroup buttons_;
};

}  // namespace kivo
