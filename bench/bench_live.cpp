// The live pump on a real stream: kivo-sim on its pseudo-terminal sends a nine-wavelength
// meter's lines at the pace of 38400 baud (3,840 bytes/s), the window runs as it does for the
// operator (its own timers, QSerialPort, the chart drawn offscreen), for a while. Reports the
// bytes taken per second, the most bytes ever left waiting in the port (the backlog), and the
// share of one core the window used, drawing included.
//   bench_live [SECONDS]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "QuietPrompts.h"
#include "app/MainWindow.h"
#include "serial/QtSerialPort.h"
#include "system/SimProcess.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    // A line of this meter is about 64 bytes: 60 lines/s is 38400 baud's 3,840 bytes/s.
    kivo::test::SimProcess sim({"--dev", KIVO_TEST_DATA "/scatter9.dev", "--rate", "60"});
    kivo::QtSerialPort port;
    QuietPrompts prompts;
    kivo::MainWindowOptions options;
    options.port = &port;
    options.prompts = &prompts;
    const QTemporaryDir settings;  // settings and event log of the run's own
    options.settingsDirectory = settings.path().toStdString();
    options.ports.Map(1, sim.PortPath());
    kivo::MainWindow window(std::move(options));
    window.resize(1024, 700);
    window.show();
    kivo::Session& session = window.Core();
    session.LoadDeviceFileClick();
    session.SelectHostPort(1, 3);
    QTimer::singleShot(1000, &window, [&session] { session.BTStartClick(); });

    long backlog = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout,
                     [&] { backlog = std::max(backlog, port.Waiting()); });
    sample.start(10);

    // Measure after a settling second and a half: the stream has started by then.
    double cpuStart = 0.0;
    std::uint64_t bytesStart = 0;
    double linesStart = 0.0;
    QElapsedTimer wall;
    QTimer::singleShot(2500, &window, [&] {
        cpuStart = CpuSeconds();
        bytesStart = session.State().BytesRead;
        linesStart = session.DataLines().DataLineCount;
        backlog = 0;
        wall.start();
    });
    QTimer::singleShot(static_cast<int>(2500 + seconds * 1000), &app, &QCoreApplication::quit);
    QApplication::exec();

    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = CpuSeconds() - cpuStart;
    const double bytesPerSecond = (session.State().BytesRead - bytesStart) / elapsed;
    const double linesPerSecond = (session.DataLines().DataLineCount - linesStart) / elapsed;
    std::printf("stream: %.0f bytes/s, %.1f lines/s over %.1f s\n", bytesPerSecond, linesPerSecond,
                elapsed);
    std::printf("backlog: at most %ld bytes waiting in the port (a tick takes up to %zu)\n",
                backlog, kivo::Session::kReceiveBufferSize);
    std::printf("cost: %.3f s of CPU per second = %.1f %% of one core, drawing included\n",
                cpu / elapsed, 100.0 * cpu / elapsed);
    std::printf("warnings or messages shown: %d\n", prompts.shown);
    const bool ok = linesPerSecond > 55.0 &&
                    backlog < static_cast<long>(kivo::Session::kReceiveBufferSize) &&
                    prompts.shown == 0;
    std::printf("bench_live: %s\n", ok ? "kept up" : "FELL BEHIND");
    return ok ? 0 : 1;
}
