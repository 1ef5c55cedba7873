#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "core/seams/Prompts.h"

class QFileDialog;
class QMessageBox;

namespace kivo {

// The operator's dialogs. Warnings and messages open without a nested event loop, so the
// timers (and an unattended recording) go on while a box waits for its OK.
class DialogPrompts final : public QObject, public Prompts {
    Q_OBJECT
public:
    static constexpr int kMaxOpenBoxes = 10;

    explicit DialogPrompts(QWidget* owner);

    void ShowWarning(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
    void CloseMessage(const std::string& caption, const std::string& text) override;
    std::optional<std::string> OpenFileName(const FileDialogSpec& spec) override;
    std::optional<std::string> SaveFileName(const FileDialogSpec& spec) override;
    // Waits for the answer: what it asks about must not happen meanwhile.
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    // Waits for the answer: the recording it is offered for starts after it.
    std::optional<StationHeader> AskStation(const StationHeader& proposed) override;
    std::optional<GpsSettings> AskGps(const GpsSettings& current) override;
    std::optional<ShipFeedSettings> AskShipFeed(const ShipFeedSettings& current) override;

    // The question box AskYesNo shows: Yes and No, No the default and Escape's answer.
    static std::unique_ptr<QMessageBox> QuestionBox(QWidget* owner, const std::string& caption,
                                                    const std::string& text);
    // Sets a file dialog up from its spec: a proposed name starts it in that folder with
    // the name filled in, ready to accept or change.
    static void Configure(QFileDialog& dialog, const FileDialogSpec& spec, bool save);

    int OpenBoxCount() const { return openBoxes_; }
    // Boxes shown since the start, closed or not; dropped ones do not count.
    int ShownBoxCount() const { return shownBoxes_; }

    // "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*" -> Qt's "Raw Files (*.raw);;All Files (*.*)".
    static QStringList NameFilters(const std::string& filter);

signals:
    // The last open box was closed.
    void AllBoxesClosed();

private:
    void OpenBox(bool warning, const std::string& caption, const std::string& text);
    std::optional<std::string> RunFileDialog(const FileDialogSpec& spec, bool save);

    QPointer<QWidget> owner_;
    int openBoxes_ = 0;
    int shownBoxes_ = 0;
};

}  // namespace kivo
