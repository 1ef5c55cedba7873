#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/host/Controls.h"
#include "core/host/View.h"

namespace kivo {

// A window without a display: it keeps what the core last set on each control, so a test
// can compare the whole visible state at once (Describe) or look at one control.
class FakeView final : public View {
public:
    void SetText(Control control, const std::string& text) override { texts[control] = text; }
    void SetVisible(Control control, bool visible) override { visibility[control] = visible; }
    void SetColour(Control control, Colour colour) override { colours[control] = colour; }
    void SetChecked(Control control, bool checked) override { checks[control] = checked; }
    void SetItemIndex(Control control, int index) override { itemIndexes[control] = index; }

    std::string Text(Control control) const override {
        const auto found = texts.find(control);
        return found == texts.end() ? std::string() : found->second;
    }
    int ItemIndex(Control control) const override {
        const auto found = itemIndexes.find(control);
        return found == itemIndexes.end() ? -1 : found->second;
    }
    bool IsChecked(Control control) const override {
        const auto found = checks.find(control);
        return found != checks.end() && found->second;
    }

    void SetCaption(const std::string& text) override { caption = text; }
    void AppendMemoLine(const std::string& line) override { memo.push_back(line); }
    void SetActivePage(int page) override { activePage = page; }
    int ActivePage() const override { return activePage; }
    void SetPageVisible(int page, bool visible) override { pageVisibility[page] = visible; }
    void ShowMemoryFullWindow() override { ++memoryFullWindowShows; }
    void SetPumpInterval(int milliseconds) override { pumpIntervalMs = milliseconds; }
    void ShowPasswordWindow() override { ++passwordWindowShows; }
    void SetProgress(Control control, std::int64_t value, std::int64_t maximum) override {
        progress[control] = {value, maximum};
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

    std::map<Control, std::string> texts;
    std::map<Control, bool> visibility;
    std::map<Control, Colour> colours;
    std::map<Control, bool> checks;
    std::map<Control, int> itemIndexes;
    std::string caption;
    std::vector<std::string> memo;
    int activePage = 0;
    std::map<int, bool> pageVisibility;
    int memoryFullWindowShows = 0;
    int pumpIntervalMs = 55;
    int passwordWindowShows = 0;
    std::map<Control, std::pair<std::int64_t, std::int64_t>> progress;

private:
    static const char* Flag(bool on) { return on ? "yes" : "no"; }
    static void Line(std::string& out, Control control, const char* what,
                     const std::string& value) {
        out += std::string(ControlName(control)) + " " + what + " " + value + "\n";
    }
};

}  // namespace kivo
