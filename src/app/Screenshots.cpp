#include "app/Screenshots.h"

#include <QDir>
#include <QTabWidget>
#include <initializer_list>
#include <utility>

#include "app/MainWindow.h"
#include "dialogs/MemoryFullWindow.h"
#include "dialogs/PortDialog.h"
#include "dialogs/PowerUserPasswordDialog.h"
#include "plot/ProfileWidget.h"

namespace kivo {

namespace {

QString Slug(QString text) {
    text = text.toLower();
    for (QChar& c : text)
        if (!c.isLetterOrNumber()) c = '-';
    return text;
}

bool SaveWidget(QWidget* widget, const QString& path) {
    const bool wasVisible = widget->isVisible();
    if (!wasVisible) widget->show();
    widget->adjustSize();
    const bool saved = widget->grab().save(path, "PNG");
    if (!wasVisible) widget->hide();
    return saved;
}

bool ProfileShot(MainWindow& window) {
    return window.Core().Plot().Profile().View().pressureColumn;
}

// The Plot Data page with the profile shown, through the check's own handler, and back.
bool SaveLiveProfile(MainWindow& window, const QString& path) {
    Session& session = window.Core();
    const bool wasShown = session.Shown().profileView.value_or(false);
    if (!wasShown) session.ToggleProfileView();
    window.Present();
    window.Profile()->Sync();
    window.SetActivePage(PagePlot);
    const bool saved = window.grab().save(path, "PNG");
    if (!wasShown) session.ToggleProfileView();
    window.Present();
    return saved;
}

}  // namespace

int ScreenshotCount(MainWindow& window) {
    return MainWindow::PageCount() + 3 + ProfileShot(window);
}

QStringList TakeScreenshots(MainWindow& window, const QString& directory) {
    window.FlushMemo();
    QDir().mkpath(directory);
    const QDir dir(directory);
    QStringList written;
    const int current = window.ActivePage();
    for (int page = 0; page < MainWindow::PageCount(); ++page) {
        // A hidden page is shown for its picture and hidden again.
        const bool visible = window.PageShown(page);
        window.SetPageVisible(page, true);
        window.SetActivePage(page);
        const QString path =
            dir.filePath(QString("page%1-%2.png").arg(page).arg(Slug(window.PageTitle(page))));
        if (window.grab().save(path, "PNG")) written << path;
        window.SetPageVisible(page, visible);
    }
    if (ProfileShot(window)) {
        const QString path = dir.filePath("live-profile.png");
        if (SaveLiveProfile(window, path)) written << path;
    }
    window.SetActivePage(current);
    const std::initializer_list<std::pair<QWidget*, const char*>> dialogs = {
        {window.MemoryFull(), "dialog-memory-full.png"},
        {window.HostPortDialog(), "dialog-select-host-port.png"},
        {window.PasswordDialog(), "dialog-password.png"}};
    for (const auto& [widget, name] : dialogs) {
        const QString path = dir.filePath(name);
        if (SaveWidget(widget, path)) written << path;
    }
    return written;
}

}  // namespace kivo
