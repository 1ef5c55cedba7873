#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/seams/Controls.h"
#include "core/seams/Prompts.h"

namespace kivo {

// What the core asks of the window: the texts, colours and visibility of its controls,
// the caption, the memo, the pages. The window implements it; tests use a recording fake.
class View {
public:
    virtual ~View() = default;

    virtual void SetText(Control control, const std::string& text) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetColour(Control control, Colour colour) = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    // Selects item `index` of a list without raising its change event; an index the
    // list does not have leaves it without a selection.
    virtual void SetItemIndex(Control control, int index) = 0;

    virtual std::string Text(Control control) const = 0;
    // -1 when the list has no item selected.
    virtual int ItemIndex(Control control) const = 0;
    virtual bool IsChecked(Control control) const = 0;

    virtual void SetCaption(const std::string& caption) = 0;
    // Appends one received line to the Raw Data memo, which keeps the newest 501 lines.
    virtual void AppendMemoLine(const std::string& line) = 0;
    virtual void SetActivePage(int page) = 0;
    virtual int ActivePage() const = 0;
    // Shows or hides a page's tab.
    virtual void SetPageVisible(int page, bool visible) = 0;
    // The memory-full window: shown non-modally, brought to the front if already shown.
    virtual void ShowMemoryFullWindow() = 0;
    // A progress bar: `value` of `maximum`; a maximum of 0 shows a busy bar.
    virtual void SetProgress(Control control, std::int64_t value, std::int64_t maximum) = 0;
    // The power-user password window, shown non-modally in front.
    virtual void ShowPasswordWindow() = 0;
    // The receive pump's tick: 55 ms live, 220 ms while a raw file is replayed.
    virtual void SetPumpInterval(int milliseconds) = 0;
};

}  // namespace kivo
