#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "core/seams/View.h"

namespace kivo {

// A window without a display, for the command-line tools: it keeps what the core last set on
// each control, so the tools can read the texts the window would show. Received lines are
// counted, not kept, so a week of logging holds no more memory than a minute.
class HeadlessView : public View {
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
    void AppendMemoLine(const std::string& /*line*/) override { ++memoLines; }
    void SetActivePage(int page) override { activePage = page; }
    int ActivePage() const override { return activePage; }
    void SetPageVisible(int page, bool visible) override { pageVisibility[page] = visible; }
    void ShowMemoryFullWindow() override { ++memoryFullWindowShows; }
    void SetPumpInterval(int milliseconds) override { pumpIntervalMs = milliseconds; }
    void ShowPasswordWindow() override { ++passwordWindowShows; }
    void SetProgress(Control control, std::int64_t value, std::int64_t maximum) override {
        progress[control] = {value, maximum};
    }

    std::map<Control, std::string> texts;
    std::map<Control, bool> visibility;
    std::map<Control, Colour> colours;
    std::map<Control, bool> checks;
    std::map<Control, int> itemIndexes;
    std::string caption;
    std::uint64_t memoLines = 0;
    int activePage = 0;
    std::map<int, bool> pageVisibility;
    int memoryFullWindowShows = 0;
    int pumpIntervalMs = 55;
    int passwordWindowShows = 0;
    std::map<Control, std::pair<std::int64_t, std::int64_t>> progress;
};

}  // namespace kivo
