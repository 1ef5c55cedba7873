#pragma once

#include <array>
#include <string>
#include <utility>

namespace kivo {

// What the operator says about a recording: where, which cast, who, and anything else worth
// keeping. Written into every export's attributes and the event log; each field one line.
struct StationHeader {
    std::string station;
    std::string cast;
    std::string operatorName;
    std::string notes;

    // The fields by their attribute names, in this order (copies: safe on a temporary).
    std::array<std::pair<const char*, std::string>, 4> Fields() const {
        return {
            {{"station", station}, {"cast", cast}, {"operator", operatorName}, {"notes", notes}}};
    }
    bool Empty() const {
        return station.empty() && cast.empty() && operatorName.empty() && notes.empty();
    }
    // The same with each field on one line (line ends become blanks) and without the blanks
    // around it.
    StationHeader Cleaned() const {
        StationHeader clean;
        const auto one = [](std::string text) {
            for (char& c : text) {
                if (c == '\r' || c == '\n' || c == '\t') c = ' ';
            }
            const auto first = text.find_first_not_of(' ');
            if (first == std::string::npos) return std::string();
            return text.substr(first, text.find_last_not_of(' ') - first + 1);
        };
        clean.station = one(station);
        clean.cast = one(cast);
        clean.operatorName = one(operatorName);
        clean.notes = one(notes);
        return clean;
    }
    // "station Line P 4; cast 7; operator J. Smith": the fields given, for the event log.
    std::string Text() const {
        std::string text;
        for (const auto& [name, value] : Fields()) {
            if (value.empty()) continue;
            if (!text.empty()) text += "; ";
            text += std::string(name) + " " + value;
        }
        return text;
    }
    bool operator==(const StationHeader& other) const {
        return station == other.station && cast == other.cast &&
               operatorName == other.operatorName && notes == other.notes;
    }
};

}  // namespace kivo
