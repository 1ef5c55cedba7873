#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "app/Controls.h"
#include "core/host/ShownState.h"

namespace kivo {

class MainWindow;

// Puts what the session shows onto the main window's controls. Only what changed since
// the last presentation is written, so a control the operator changed keeps the operator's
// choice until the session itself changes it again.
class WindowPresenter {
public:
    explicit WindowPresenter(MainWindow& window) : window_(window) {}

    void Present(const ShownState& shown);
    // The operator changed the port selectors: what they hold now is what was last shown, so
    // a choice the session corrects (a typed speed it has no item for) is shown corrected.
    void PortSelectorsChanged(int portItem, int baudItem);

private:
    // The label's text, when it changed.
    void Text(const std::optional<std::string>& now, std::optional<std::string>& was,
              Control control);
    void PresentSetup(const SetupPanel& setup);
    void PresentStatus(const ShownState& shown);
    void PresentModes(const ShownState& shown);
    void PresentPlotChoices(const ShownState& shown);
    void PresentTransfer(const ShownState& shown);
    void PresentMemo(const MemoLines& memo);
    void PresentRequests(const ShownState& shown);

    MainWindow& window_;
    ShownState applied_;  // its memo stays empty: the lines are counted in memoTotal_
    std::uint64_t revision_ = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t memoTotal_ = 0;
};

}  // namespace kivo
