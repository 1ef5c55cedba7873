#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>

#include "core/seams/BaudRates.h"

namespace kivo {

// The items of the window's and the port dialog's speed lists: "4800 Baud" to "38400 Baud".
inline QString BaudRateItem(int item) {
    return QString::number(kBaudRates.at(static_cast<std::size_t>(item))) + " Baud";
}

inline QStringList BaudRateItems() {
    QStringList items;
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) items << BaudRateItem(static_cast<int>(i));
    return items;
}

}  // namespace kivo
