#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/position/PositionSource.h"

namespace kivo {

// Positions from gpsd through its client library, libgps. The link lives on a thread of its
// own: a connect that waits for an unreachable host, or a gpsd that stalls, never holds up
// the window or a recording. The thread tries again every few seconds after a failure. Closing
// lets it go at once; it ends by itself as soon as its current wait is over.
class GpsdSource final : public PositionSource {
public:
    static constexpr int kRetrySeconds = 3;

    GpsdSource() = default;
    ~GpsdSource() override;
    GpsdSource(const GpsdSource&) = delete;
    GpsdSource& operator=(const GpsdSource&) = delete;

    void Open(const std::string& host, int port) override;
    void Close() override;
    std::vector<PositionReport> Take() override;

    struct Link;  // shared with the thread, which may outlive a Close

private:
    std::shared_ptr<Link> link_;
};

// The fix of one gpsd TPV report given as JSON ("{"class":"TPV","mode":3,...}"), read by
// libgps itself; nothing when the text is no TPV report.
std::optional<PositionFix> FixOfGpsdJson(const std::string& json);

}  // namespace kivo
