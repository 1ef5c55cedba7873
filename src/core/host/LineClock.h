#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/seams/Clock.h"

namespace kivo {

// The host's clock as the outputs of one received line read it: while a line is handled its
// UTC time is read once and the same for every reader, so the CSV file and the ship's feed
// give a line the same host time to the millisecond. Between lines it is the clock itself.
class LineClock final : public Clock {
public:
    explicit LineClock(Clock& host) : host_(host) {}

    // From construction to destruction one line is handled.
    class Hold {
    public:
        explicit Hold(LineClock& clock) : clock_(clock) { clock_.held_ = true; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() {
            clock_.held_ = false;
            clock_.lineTime_.reset();
        }

    private:
        LineClock& clock_;
    };

    LocalTime Now() override { return host_.Now(); }
    std::int64_t UtcMilliseconds() override {
        if (!held_) return host_.UtcMilliseconds();
        // Read only when asked: a line nothing writes costs no reading.
        if (!lineTime_) lineTime_ = host_.UtcMilliseconds();
        return *lineTime_;
    }
    std::int64_t SteadyMilliseconds() override { return host_.SteadyMilliseconds(); }
    std::string LocalZoneName() override { return host_.LocalZoneName(); }
    std::string ZoneName() override { return host_.ZoneName(); }

private:
    Clock& host_;
    bool held_ = false;
    std::optional<std::int64_t> lineTime_;
};

}  // namespace kivo
