#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/seams/Prompts.h"

namespace kivo::test {

// Records every box the core shows and answers file dialogs from queues (an empty queue
// answers "cancelled").
class FakePrompts final : public Prompts {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    std::vector<Box> warnings;
    std::vector<Box> messages;
    std::vector<Box> closed;  // boxes the core asked to close
    std::vector<FileDialogSpec> openDialogs;
    std::vector<FileDialogSpec> saveDialogs;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<Box> questions;
    std::deque<bool> yesNoAnswers;  // empty: No, the default button
    std::vector<StationHeader> stationsProposed;
    std::deque<std::optional<StationHeader>> stationAnswers;  // empty: cancelled

    void ShowWarning(const std::string& caption, const std::string& text) override {
        warnings.push_back({caption, text});
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.push_back({caption, text});
    }
    void CloseMessage(const std::string& caption, const std::string& text) override {
        closed.push_back({caption, text});
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec& spec) override {
        openDialogs.push_back(spec);
        return Next(openAnswers);
    }
    std::optional<std::string> SaveFileName(const FileDialogSpec& spec) override {
        saveDialogs.push_back(spec);
        return Next(saveAnswers);
    }

    bool AskYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back({caption, text});
        if (yesNoAnswers.empty()) return false;
        const bool yes = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return yes;
    }

    std::optional<StationHeader> AskStation(const StationHeader& proposed) override {
        stationsProposed.push_back(proposed);
        if (stationAnswers.empty()) return std::nullopt;
        std::optional<StationHeader> answer = stationAnswers.front();
        stationAnswers.pop_front();
        return answer;
    }

    std::optional<GpsSettings> AskGps(const GpsSettings& current) override {
        gpsAsked.push_back(current);
        if (gpsAnswers.empty()) return std::nullopt;
        std::optional<GpsSettings> answer = gpsAnswers.front();
        gpsAnswers.pop_front();
        return answer;
    }
    std::vector<GpsSettings> gpsAsked;
    std::deque<std::optional<GpsSettings>> gpsAnswers;  // empty: cancelled

    std::optional<ShipFeedSettings> AskShipFeed(const ShipFeedSettings& current) override {
        feedAsked.push_back(current);
        if (feedAnswers.empty()) return std::nullopt;
        std::optional<ShipFeedSettings> answer = feedAnswers.front();
        feedAnswers.pop_front();
        return answer;
    }
    std::vector<ShipFeedSettings> feedAsked;
    std::deque<std::optional<ShipFeedSettings>> feedAnswers;  // empty: cancelled

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) return std::nullopt;
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace kivo::test
