#pragma once

#include <optional>
#include <string>
#include <utility>

#include "core/seams/GpsSettings.h"
#include "core/seams/ShipFeedSettings.h"
#include "core/seams/StationHeader.h"

namespace kivo {

// A file dialog's fixed settings.
struct FileDialogSpec {
    std::string title;
    std::string filter;            // "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*"
    std::string defaultExtension;  // "raw"
    // The name the dialog offers (folder and file); empty: the dialog's own choice.
    std::string proposedPath = {};

    // The same dialog offering `path`.
    FileDialogSpec Proposing(std::string path) const {
        FileDialogSpec spec = *this;
        spec.proposedPath = std::move(path);
        return spec;
    }
};

// Every modal interaction with the operator passes here, so tests can answer it.
class Prompts {
public:
    virtual ~Prompts() = default;
    // The common warning: exclamation beep and a box with one OK button. Never blocks the
    // caller (ticks go on while it is open); at most 10 are open at once, further ones are
    // dropped.
    virtual void ShowWarning(const std::string& caption, const std::string& text) = 0;
    // A plain message box without the beep (the port errors). Never blocks the caller.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    // Closes the boxes still open that show this caption and text: what they told is over
    // (a lost port that came back). Whoever shows no boxes has nothing to close.
    virtual void CloseMessage(const std::string& /*caption*/, const std::string& /*text*/) {}
    // The chosen path, or nothing when the operator cancelled.
    virtual std::optional<std::string> OpenFileName(const FileDialogSpec& spec) = 0;
    // The save dialogs ask before overwriting an existing file.
    virtual std::optional<std::string> SaveFileName(const FileDialogSpec& spec) = 0;
    // A question with Yes and No, No the default: true only when the operator said Yes.
    // Asked before what cannot be undone; whoever cannot ask answers No.
    virtual bool AskYesNo(const std::string& /*caption*/, const std::string& /*text*/) {
        return false;
    }
    // The station window: the fields to keep, or nothing when the operator cancelled (or
    // whoever cannot ask).
    virtual std::optional<StationHeader> AskStation(const StationHeader& /*proposed*/) {
        return std::nullopt;
    }
    // The GPS window: gpsd's address and whether to use it; nothing when cancelled.
    virtual std::optional<GpsSettings> AskGps(const GpsSettings& /*current*/) {
        return std::nullopt;
    }
    // The ship feed's window: whether to send, where to, the tag; nothing when cancelled.
    virtual std::optional<ShipFeedSettings> AskShipFeed(const ShipFeedSettings& /*current*/) {
        return std::nullopt;
    }
};

}  // namespace kivo
