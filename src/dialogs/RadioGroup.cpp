#include "dialogs/RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>

namespace kivo {

RadioGroup::RadioGroup(const QString& objectName, const QString& caption, const QStringList& items,
                       int columns, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(this) {
    setObjectName(objectName);
    auto* grid = new QGridLayout(this);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(objectName + QString::number(i));
        buttons_.addButton(button, i);
        grid->addWidget(button, i % rows, i / rows);  // filled column by column
    }
    connect(&buttons_, &QButtonGroup::idToggled, this, [this](int index, bool checked) {
        if (checked) emit Selected(index);
    });
}

void RadioGroup::SetItemIndex(int index) {
    if (auto* button = buttons_.button(index)) button->setChecked(true);
}

}  // namespace kivo
