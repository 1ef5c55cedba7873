#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/seams/Prompts.h"

namespace kivo {

// Answers the window's dialogs from a script and remembers every box it was asked to show.
class ScriptedPrompts final : public Prompts {
public:
    void ShowWarning(const std::string& caption, const std::string& text) override {
        warnings.emplace_back(caption, text);
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.emplace_back(caption, text);
    }
    void CloseMessage(const std::string& caption, const std::string& text) override {
        closed.emplace_back(caption, text);
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec& spec) override {
        return Answer(spec);
    }
    std::optional<std::string> SaveFileName(const FileDialogSpec& spec) override {
        return Answer(spec);
    }

    bool AskYesNo(const std::string& caption, const std::string& text) override {
        questions.emplace_back(caption, text);
        if (yesNo.empty()) return false;  // as the real box: No unless told otherwise
        const bool yes = yesNo.front();
        yesNo.pop_front();
        return yes;
    }

    std::optional<StationHeader> AskStation(const StationHeader& proposed) override {
        stationsProposed.push_back(proposed);
        if (stationAnswers.empty()) return std::nullopt;
        auto answer = stationAnswers.front();
        stationAnswers.pop_front();
        return answer;
    }

    std::optional<GpsSettings> AskGps(const GpsSettings& current) override {
        gpsAsked.push_back(current);
        if (gpsAnswers.empty()) return std::nullopt;
        auto answer = gpsAnswers.front();
        gpsAnswers.pop_front();
        return answer;
    }
    std::vector<GpsSettings> gpsAsked;
    std::deque<std::optional<GpsSettings>> gpsAnswers;  // nothing left: cancelled

    std::optional<ShipFeedSettings> AskShipFeed(const ShipFeedSettings& current) override {
        feedAsked.push_back(current);
        if (feedAnswers.empty()) return std::nullopt;
        auto answer = feedAnswers.front();
        feedAnswers.pop_front();
        return answer;
    }
    std::vector<ShipFeedSettings> feedAsked;
    std::deque<std::optional<ShipFeedSettings>> feedAnswers;  // nothing left: cancelled

    std::vector<std::pair<std::string, std::string>> warnings;
    std::vector<std::pair<std::string, std::string>> questions;
    std::deque<bool> yesNo;  // scripted answers to AskYesNo, in order
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<std::pair<std::string, std::string>> closed;  // CloseMessage's requests
    std::vector<FileDialogSpec> dialogs;
    std::deque<std::optional<std::string>> answers;  // nothing left: cancelled
    std::vector<StationHeader> stationsProposed;
    std::deque<std::optional<StationHeader>> stationAnswers;  // nothing left: cancelled

private:
    std::optional<std::string> Answer(const FileDialogSpec& spec) {
        dialogs.push_back(spec);
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace kivo
