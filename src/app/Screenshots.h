#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

class MainWindow;

// Renders every page of the main window and each of the three small windows to PNG files
// in `directory`, and the Plot Data page with the live profile ("live-profile.png") when the
// loaded device file has a pressure column. Returns the files written.
QStringList TakeScreenshots(MainWindow& window, const QString& directory);
// How many files TakeScreenshots writes for the window as it is.
int ScreenshotCount(MainWindow& window);

}  // namespace kivo
