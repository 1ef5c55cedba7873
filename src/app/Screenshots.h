#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

class MainWindow;

// Renders every page of the main window and each of the three small windows to PNG files
// in `directory`. Returns the files written.
QStringList TakeScreenshots(MainWindow& window, const QString& directory);

}  // namespace kivo
