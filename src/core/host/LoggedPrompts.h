#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/seams/Prompts.h"

namespace kivo {

// The operator's prompts, each also written to the event log: what the operator was told
// during a deployment is part of its story.
class LoggedPrompts final : public Prompts {
public:
    using Log = std::function<void(const std::string& text)>;

    LoggedPrompts(Prompts& prompts, Log log) : prompts_(prompts), log_(std::move(log)) {}

    void ShowWarning(const std::string& caption, const std::string& text) override {
        log_("warning " + caption + ": " + text);
        prompts_.ShowWarning(caption, text);
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        log_("message " + caption + ": " + text);
        prompts_.ShowMessage(caption, text);
    }
    void CloseMessage(const std::string& caption, const std::string& text) override {
        prompts_.CloseMessage(caption, text);
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec& spec) override {
        return prompts_.OpenFileName(spec);
    }
    std::optional<std::string> SaveFileName(const FileDialogSpec& spec) override {
        return prompts_.SaveFileName(spec);
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        const bool yes = prompts_.AskYesNo(caption, text);
        log_("asked " + caption + ": " + text + " -- " + (yes ? "Yes" : "No"));
        return yes;
    }

    std::optional<StationHeader> AskStation(const StationHeader& proposed) override {
        return prompts_.AskStation(proposed);
    }

    std::optional<GpsSettings> AskGps(const GpsSettings& current) override {
        return prompts_.AskGps(current);
    }

    std::optional<ShipFeedSettings> AskShipFeed(const ShipFeedSettings& current) override {
        return prompts_.AskShipFeed(current);
    }

    // The prompts themselves, for what must not be logged (the log's own failure).
    Prompts& Inner() { return prompts_; }

private:
    Prompts& prompts_;
    Log log_;
};

}  // namespace kivo
