#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "core/plot/Readout.h"
#include "core/protocol/SetupPanel.h"

namespace kivo {

// The main window's pages, in tab order.
enum Page : int {
    PageSetup = 0,
    PageAdvanced = 1,
    PageFLSetup = 2,
    PageRaw = 3,
    PagePlot = 4,
    PageTransfer = 5,
};
inline constexpr int kPageCount = 6;

// A bar's position: `value` of `maximum`; a maximum of 0 is a busy bar.
struct ProgressShown {
    bool visible = false;
    std::int64_t value = 0;
    std::int64_t maximum = 0;
};

// The lines received, as the Raw Data memo shows them: the newest kMemoLines, and how
// many there have been, so a presenter knows which it has not shown yet.
struct MemoLines {
    static constexpr std::size_t kMemoLines = 501;
    std::deque<std::string> newest;
    std::uint64_t total = 0;

    void Append(const std::string& line) {
        newest.push_back(line);
        if (newest.size() > kMemoLines) newest.pop_front();
        ++total;
    }
};

// Which plot selectors suit the loaded device file and the user's mode.
struct PlotSelectorsShown {
    std::optional<bool> plotType, scattering, iTemp, xTemp, pressure, statistics;
};

// What the session shows, as data. The session changes it through its handlers and ticks
// and counts each change in `revision`; a window presents it (a value never set leaves
// the control as the window built it), a test reads it. Requests to act once (bring a page
// to the front, show a window) are counters, so a presenter acts on each new one.
struct ShownState {
    std::uint64_t revision = 0;

    std::optional<std::string> caption;  // the window's title
    MemoLines memo;
    SetupPanel setup;

    // ---- status area and left column ----
    std::optional<std::string> sampleRate;  // on the status area and the Meter Setup page
    std::optional<std::string> clockOffset;
    std::optional<std::string> recordStatus;
    std::optional<std::string> rawFile;
    std::optional<std::string> rawFileSize;
    std::optional<std::string> engrFile;
    std::optional<std::string> engrFileSize;
    std::optional<std::string> deviceFile;
    std::optional<std::string> bytesRead;
    std::optional<bool> choosePortPrompt;        // the "choose a COM port" panel
    std::optional<bool> chooseDeviceFilePrompt;  // the "load a device file" panel
    std::optional<bool> powerUser;               // "Power User" in red, or "Normal User"

    // ---- the port selectors (also what the operator last chose) ----
    std::optional<int> portItem;
    std::optional<int> baudItem;

    // ---- data stream, replay and modes ----
    std::optional<std::string> startButton;  // "Start Data", "Start Replay", "Resume Replay"
    std::optional<std::string> stopButton;   // "Stop Data", "Stop Replay"
    std::optional<bool> replayMode;          // the Replay Raw File / Real Time Data checks
    std::optional<bool> alternateCommands;   // the Alternate Commands check and its buttons
    std::optional<bool> advancedSetup;       // the Advanced Setup check
    std::optional<bool> advancedPage;        // the Advanced Setup page shown (FL-Setup: setup)
    std::optional<int> analogRangeItem;
    ProgressShown replayProgress;
    int pumpIntervalMs = 55;  // the receive pump's tick: slower while a file is replayed

    // ---- plot choices ----
    PlotSelectorsShown selectors;
    std::optional<PlotChoices> plotChoices;  // the selectors' items, set when restored
    std::optional<int> statisticsItem;
    std::optional<bool> profileView;        // the profile instead of the strip chart
    std::optional<std::string> castStatus;  // "Cast 3 · down · 148.2 dbar"

    // ---- Transfer Data page ----
    std::optional<std::string> receiveFile;
    std::optional<std::string> receiveFileSize;
    std::optional<std::string> receiveStatus;
    std::optional<bool> receiveFailed;  // the receive labels in red
    ProgressShown downloadProgress;

    // ---- requests ----
    std::uint64_t pageRequests = 0;  // bring `requestedPage` to the front (if shown)
    int requestedPage = PageSetup;
    std::uint64_t memoryFullRequests = 0;  // the memory-full window, in front
    std::uint64_t passwordRequests = 0;    // the power-user password window, in front
};

}  // namespace kivo
