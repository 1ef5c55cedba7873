#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/seams/Controls.h"
#include "core/host/HeadlessView.h"

namespace kivo {

// A window without a display: it keeps what the core last set on each control, so a test
// can compare the whole visible state at once (Describe) or look at one control.
class FakeView final : public HeadlessView {
public:
    // Tests keep every received line.
    void AppendMemoLine(const std::string& line) override {
        HeadlessView::AppendMemoLine(line);
        memo.push_back(line);
    }

    // Everything set so far, one item a line, in a fixed order; equal views describe equally.
    std::string Describe() const {
        std::string out;
        for (const auto& [control, text] : texts) Line(out, control, "text", "\"" + text + "\"");
        for (const auto& [control, on] : visibility) Line(out, control, "visible", Flag(on));
        for (const auto& [control, colour] : colours) {
            Line(out, control, "colour", std::to_string(static_cast<int>(colour)));
        }
        for (const auto& [control, on] : checks) Line(out, control, "checked", Flag(on));
        for (const auto& [control, index] : itemIndexes) {
            Line(out, control, "item", std::to_string(index));
        }
        out += "caption \"" + caption + "\"\n";
        for (const std::string& line : memo) out += "memo \"" + line + "\"\n";
        out += "page " + std::to_string(activePage) + "\n";
        for (const auto& [page, on] : pageVisibility) {
            out += "page " + std::to_string(page) + " visible " + Flag(on) + "\n";
        }
        out += "memory-full shown " + std::to_string(memoryFullWindowShows) + "\n";
        out += "pump interval " + std::to_string(pumpIntervalMs) + "\n";
        return out;
    }

    std::vector<std::string> memo;

private:
    static const char* Flag(bool on) { return on ? "yes" : "no"; }
    static void Line(std::string& out, Control control, const char* what,
                     const std::string& value) {
        out += std::string(ControlName(control)) + " " + what + " " + value + "\n";
    }
};

}  // namespace kivo
