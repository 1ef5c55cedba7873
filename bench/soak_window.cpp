// A simulated week through the window: 5 million lines of a nine-channel scattering meter,
// fed at full speed through the window's pump, per-line chain, chart (drawn offscreen every
// tick) and both record files. Passes when memory after 5 million lines is within 10 % of
// memory after 1 million (the chart store is full by then), every line was accepted and
// recorded once, and no byte was dropped.
//   soak_window [LINES]
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "QuietPrompts.h"
#include "SoakLines.h"
#include "app/MainWindow.h"
#include "core/MemorySerialPort.h"
#include "plot/ChartWidget.h"

namespace {}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 5000000;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir folder;

    kivo::MemorySerialPort port;
    QuietPrompts prompts;
    kivo::MainWindowOptions options;
    options.port = &port;
    options.prompts = &prompts;
    options.startTimers = false;
    options.ports.Map(1, "/dev/soak");
    options.settingsDirectory = folder.path().toStdString();
    port.openable = {"/dev/soak"};
    kivo::MainWindow window(std::move(options));
    window.show();
    kivo::Session& session = window.Core();
    session.Timer55msTimer();
    if (!session.LoadDeviceFile(KIVO_TEST_DATA "/scatter9.dev")) return 2;
    session.SelectHostPort(1, 3);
    window.SetItemIndex(kivo::Control::PlotTypeCB, 1);
    session.PlotTypeCBChange();
    const std::string raw = folder.filePath("soak.raw").toStdString();
    const std::string eng = folder.filePath("soak.eng").toStdString();
    if (!session.StartRawRecording(raw) || !session.StartEngrRecording(eng)) return 2;

    long fed = 0;
    std::uint64_t bytes = 0;
    long residentAtMillion = 0;
    long ticks = 0;
    while (fed < lines || !port.incoming.empty()) {
        while (fed < lines && port.incoming.size() < kivo::Session::kReceiveBufferSize) {
            const std::string line = SoakLine(fed++);
            port.incoming += line;
            bytes += line.size();
        }
        session.Timer55msTimer();
        window.Chart()->Sync();
        QCoreApplication::processEvents();
        if (++ticks % 18 == 0) session.Timer1SecondTimer();
        if (residentAtMillion == 0 && session.DataLines().DataLineCount >= 1000000) {
            residentAtMillion = ResidentKiB();
            std::printf("after 1,000,000 lines: %ld KiB resident\n", residentAtMillion);
            std::fflush(stdout);
        }
    }
    session.Timer1SecondTimer();
    const long residentAtEnd = ResidentKiB();
    session.BTStopRecordClick();
    const double accepted = session.DataLines().DataLineCount;
    const long rawLines = CountLines(raw);
    const long engLines = CountLines(eng);
    std::printf("after %ld lines: %ld KiB resident\n", lines, residentAtEnd);
    std::printf(
        "accepted %.0f, raw records %ld, engineering records %ld, bytes read %llu of %llu,"
        " boxes shown %d\n",
        accepted, rawLines, engLines - 1,
        static_cast<unsigned long long>(session.State().BytesRead),
        static_cast<unsigned long long>(bytes), prompts.shown);
    bool ok = accepted == static_cast<double>(lines) && rawLines == lines &&
              engLines == lines + 1 && session.State().BytesRead == bytes && prompts.shown == 0;
    if (residentAtMillion > 0) {
        const double growth = static_cast<double>(residentAtEnd) / residentAtMillion - 1.0;
        std::printf("memory growth from 1 to %ld million lines: %+.1f %%\n", lines / 1000000,
                    growth * 100.0);
        ok = ok && growth <= 0.10;
    }
    std::printf("soak_window: %s\n", ok ? "PASSED" : "FAILED");
    return ok ? 0 : 1;
}
