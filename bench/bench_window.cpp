// What the live view costs: the per-line chain of a nine-wavelength scattering meter through
// the window's own pump, with the chart drawn offscreen as it is on screen.
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "QuietPrompts.h"
#include "app/MainWindow.h"
#include "core/MemorySerialPort.h"
#include "plot/ChartWidget.h"

namespace {

// A window on an in-memory port with the nine-wavelength device file loaded, on the page
// with the chart, in engineering units.
// Settings and the event log go to a folder of the run's own, not the caller's.
const std::string& SettingsFolder() {
    static const QTemporaryDir folder;
    static const std::string path = folder.path().toStdString();
    return path;
}

struct Window {
    kivo::MemorySerialPort port;
    QuietPrompts prompts;
    std::unique_ptr<kivo::MainWindow> form;
    int line = 0;

    Window() {
        kivo::MainWindowOptions options;
        options.port = &port;
        options.prompts = &prompts;
        options.startTimers = false;
        options.settingsDirectory = SettingsFolder();
        options.ports.Map(1, "/dev/bench");
        port.openable = {"/dev/bench"};
        form = std::make_unique<kivo::MainWindow>(std::move(options));
        form->resize(1024, 700);
        form->show();
        form->Core().Timer55msTimer();
        form->Core().LoadDeviceFileClick();
        form->Core().SelectHostPort(1, 3);
        form->SetItemIndex(kivo::Control::PlotTypeCB, 1);
        form->Core().PlotTypeCBChange();
        Tick();
    }
    std::string NextLine() {
        ++line;
        std::string text = "12/08/26";
        for (int channel = 0; channel < 9; ++channel)
            text += "\t" + std::to_string(200 + (line * (channel + 3)) % 900 + channel * 100);
        return text + "\t10:20:30\t" + std::to_string(3000 + line % 50) + "\r\n";
    }
    // One 55 ms tick as the timer runs it, with the chart's redraw.
    void Tick() {
        form->Core().Timer55msTimer();
        form->Chart()->Sync();
        QCoreApplication::processEvents();
    }
};

// Made on first use and destroyed before the application object, as Qt requires.
std::unique_ptr<Window>& WindowSlot() {
    static std::unique_ptr<Window> window;
    return window;
}

Window& TheWindow() {
    if (!WindowSlot()) WindowSlot() = std::make_unique<Window>();
    return *WindowSlot();
}

// Lines per second through the whole chain, one line a tick, each tick redrawn.
void BM_LinePerTickWithRedraw(benchmark::State& state) {
    Window& w = TheWindow();
    for (auto _ : state) {
        w.port.incoming += w.NextLine();
        w.Tick();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items/s = lines per second");
}
BENCHMARK(BM_LinePerTickWithRedraw)->Unit(benchmark::kMicrosecond);

// The chain alone: many lines in one tick, one redraw for all of them.
void BM_LinesWithoutRedraw(benchmark::State& state) {
    Window& w = TheWindow();
    constexpr int kLinesPerTick = 100;
    for (auto _ : state) {
        for (int i = 0; i < kLinesPerTick; ++i) w.port.incoming += w.NextLine();
        while (!w.port.incoming.empty()) w.form->Core().Timer55msTimer();
    }
    w.Tick();
    state.SetItemsProcessed(state.iterations() * kLinesPerTick);
    state.SetLabel("items/s = lines per second");
}
BENCHMARK(BM_LinesWithoutRedraw)->Unit(benchmark::kMicrosecond);

// One second of a meter at 8 lines/s: 18 ticks, 8 of them bringing a line and a redraw.
// The time of one iteration over one second is the share of a core the live view costs.
void BM_OneSecondAtEightLinesPerSecond(benchmark::State& state) {
    Window& w = TheWindow();
    for (auto _ : state) {
        for (int tick = 0; tick < 18; ++tick) {
            if (tick % 9 < 4 || tick == 8 || tick == 17) w.port.incoming += w.NextLine();
            w.Tick();
        }
    }
    state.counters["core_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel("core_share = seconds of CPU per second of streaming");
}
BENCHMARK(BM_OneSecondAtEightLinesPerSecond)->Unit(benchmark::kMillisecond);

// One redraw of the chart with nine scattering channels and the temperature, each holding a
// full visible window of 100 points.
void BM_ChartRedrawNineChannels(benchmark::State& state) {
    Window& w = TheWindow();
    for (int i = 0; i < 100; ++i) w.port.incoming += w.NextLine();
    w.Tick();
    QCustomPlot* plot = w.form->Chart()->Plot();
    for (auto _ : state) plot->replot(QCustomPlot::rpImmediateRefresh);
    state.SetLabel("one replot");
}
BENCHMARK(BM_ChartRedrawNineChannels)->Unit(benchmark::kMicrosecond);

// From nothing to the main window shown and painted once, in this process (the process
// start and library loading are measured by scripts/bench-live).
void BM_StartUpToFirstShownWindow(benchmark::State& state) {
    for (auto _ : state) {
        kivo::MemorySerialPort port;
        QuietPrompts prompts;
        kivo::MainWindowOptions options;
        options.port = &port;
        options.prompts = &prompts;
        options.startTimers = false;
        options.settingsDirectory = SettingsFolder();
        kivo::MainWindow form(std::move(options));
        form.show();
        form.grab();  // paints every widget once
    }
}
BENCHMARK(BM_StartUpToFirstShownWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    WindowSlot().reset();
    return 0;
}
