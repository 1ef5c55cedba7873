#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/seams/Controls.h"

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

// A file dialog's fixed settings.
struct FileDialogSpec {
    std::string title;
    std::string filter;            // "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*"
    std::string defaultExtension;  // "raw"
    // The name the dialog offers (folder and file); empty: the dialog's own choice.
    std::string proposedPath = {};
};

// Every modal interaction with the operator passes here, so tests can answer it.
class Prompts {
public:
    virtual ~Prompts() = default;
    // The common warning: exclamation beep and a box with one OK button. Never blocks the
    // caller (ticks go on while it is open); at most 10 are open at once, further ones are
    // dropped.
    virtual void ShowWarning(const std::string& caption, const std::string& text) = 0;
    // A plain message box without the beep (the port errors). Never blocks the caller.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    // Closes the boxes still open that show this caption and text: what they told is over
    // (a lost port that came back). Whoever shows no boxes has nothing to close.
    virtual void CloseMessage(const std::string& /*caption*/, const std::string& /*text*/) {}
    // The chosen path, or nothing when the operator cancelled.
    virtual std::optional<std::string> OpenFileName(const FileDialogSpec& spec) = 0;
    // The save dialogs ask before overwriting an existing file.
    virtual std::optional<std::string> SaveFileName(const FileDialogSpec& spec) = 0;
    // A question with Yes and No, No the default: true only when the operator said Yes.
    // Asked before what cannot be undone; whoever cannot ask answers No.
    virtual bool AskYesNo(const std::string& /*caption*/, const std::string& /*text*/) {
        return false;
    }
};

}  // namespace kivo
