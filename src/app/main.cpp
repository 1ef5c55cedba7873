// KIVO View: the host program for KIVO optical meters on a serial line.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "KivoVersion.h"
#include "app/DialogPrompts.h"
#include "app/MainWindow.h"
#include "app/Screenshots.h"
#include "core/files/RegularFile.h"
#include "viewer/RecordingViewer.h"

namespace {

QStringList Arguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// A file name as the command line gave it: Qt's decoding loses every byte of a name that
// is not UTF-8, so the file is opened by the argument's own bytes. `value` is what the
// parser made of it, alone or after "--option=".
std::string ArgumentBytes(int argc, char* argv[], const QString& value) {
    for (int i = argc - 1; i > 0; --i) {
        const std::string argument = argv[i];
        if (QString::fromLocal8Bit(argument.c_str()) == value) return argument;
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos &&
            QString::fromLocal8Bit(argument.substr(equals + 1).c_str()) == value)
            return argument.substr(equals + 1);
    }
    return QFile::encodeName(value).toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
    // The command line is read before any window exists, so --help and mistakes are
    // answered on a machine without a display too.
    QCoreApplication::setApplicationName("kivoview");
    QCoreApplication::setApplicationVersion(KIVO_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "KIVO View: watch, convert, record and set up a KIVO meter on a serial port.");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    const QCommandLineOption com(
        "com",
        "Map port COMn to a device path, e.g. --com 1=/dev/ttyUSB0 (repeatable). "
        "Default: COMn is /dev/ttyS(n-1).",
        "N=PATH");
    const QCommandLineOption screenshot(
        "screenshot",
        "Run as usual for the settle time, save a PNG of every page and window in DIR "
        "(drawn offscreen), and exit.",
        "DIR");
    const QCommandLineOption settle("settle", "Seconds to run before the screenshots (default 2).",
                                    "SECONDS", "2");
    const QCommandLineOption open(
        "open", "Open a recording (.raw or .eng) whole, in a viewer window of its own.", "FILE");
    const QCommandLineOption dev(
        "dev",
        "Read the recording given by --open with this device file (default: the one loaded).",
        "FILE.dev");
    const QCommandLineOption qc(
        "qc",
        "Quality-test thresholds from this QC file, as File > Quality Control File... chooses "
        "them.",
        "FILE.qc");
    parser.addOptions({help, version, com, screenshot, settle, open, dev, qc});
    parser.addPositionalArgument("FILE", "A recording to open, as with --open.", "[FILE]");
    if (!parser.parse(Arguments(argc, argv))) {
        std::fprintf(stderr, "kivoview: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        // No application object exists yet to name the program in the usage line.
        std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "kivoview")), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("kivoview " KIVO_VERSION "\n");
        return 0;
    }
    // A file named alone is opened as with --open: the desktop's "Open With" passes it so.
    // Anything else alone is a mistake (a mistyped option's value, say), not a file to open.
    std::string recording =
        parser.isSet(open) ? ArgumentBytes(argc, argv, parser.value(open)) : std::string();
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (positional.size() == 1 && parser.isSet(open)) ||
        (positional.size() == 1 &&
         !kivo::IsRegularFile(ArgumentBytes(argc, argv, positional.front())))) {
        std::fprintf(stderr, "kivoview: unexpected argument '%s'\n", qPrintable(positional.back()));
        return 2;
    }
    if (positional.size() == 1) recording = ArgumentBytes(argc, argv, positional.front());
    if (parser.isSet(dev) && recording.empty()) {
        std::fprintf(stderr, "kivoview: --dev goes with --open\n");
        return 2;
    }
    kivo::MainWindowOptions options;
    for (const QString& mapping : parser.values(com)) {
        if (const auto error = options.ports.ApplyOverride(mapping.toStdString())) {
            std::fprintf(stderr, "kivoview: --com: %s\n", error->c_str());
            return 2;
        }
    }
    bool settleOk = false;
    const double settleSeconds = parser.value(settle).toDouble(&settleOk);
    if (!settleOk || settleSeconds < 0 || settleSeconds > 3600) {
        std::fprintf(stderr, "kivoview: --settle takes a number of seconds (0 to 3600)\n");
        return 2;
    }
    if (parser.isSet(screenshot) && std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    // Qt takes the desktop's locale; numbers in files, commands and labels are always
    // written and read with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    kivo::MainWindow window(std::move(options));
    window.show();
    // The recording is read with the device file given, or else with the one loaded: the
    // first second brings back last.rbs and its device file, so the viewer opens after it.
    QPointer<kivo::RecordingViewer> viewer;
    bool recordingOpened = recording.empty();
    QTimer opener;
    opener.setInterval(10);
    QObject::connect(&opener, &QTimer::timeout, &window, [&] {
        if (!window.Core().StartUpDone()) return;
        opener.stop();
        if (parser.isSet(qc))
            window.Core().SetQualityFile(ArgumentBytes(argc, argv, parser.value(qc)));
        if (recording.empty()) return;
        kivo::Prompts& prompts = *window.OwnPrompts();
        std::optional<kivo::ViewerDevice> device;
        if (parser.isSet(dev)) {
            device = kivo::ReadViewerDevice(ArgumentBytes(argc, argv, parser.value(dev)),
                                            window.Core(), prompts);
        } else {
            device = kivo::LoadedDevice(window.Core());
        }
        // A device file given that does not load was told; the recording waits for a good one.
        if (device || !parser.isSet(dev))
            viewer = kivo::OpenRecordingViewer(&window, prompts, device, recording,
                                               &window.Core().Files());
        recordingOpened = true;
    });
    if (!recording.empty() || parser.isSet(qc)) opener.start();

    // The pictures wait for the settle time, and for the recording given to be read.
    QTimer shooter;
    QElapsedTimer settling;
    if (parser.isSet(screenshot)) {
        const QString directory = parser.value(screenshot);
        const bool opening = !recording.empty();
        shooter.setInterval(10);
        QObject::connect(&shooter, &QTimer::timeout, &window, [&, directory, opening] {
            if (settling.elapsed() < static_cast<qint64>(settleSeconds * 1000) ||
                !recordingOpened || (viewer && viewer->Busy()))
                return;
            shooter.stop();
            QStringList written = kivo::TakeScreenshots(window, directory);
            if (viewer && viewer->Data()) {
                const QString path = kivo::SaveViewerScreenshot(*viewer, directory);
                if (!path.isEmpty()) written << path;
            }
            for (const QString& path : written) std::printf("%s\n", qPrintable(path));
            std::fflush(stdout);
            QApplication::exit(
                written.size() == kivo::ScreenshotCount(window) + (opening ? 1 : 0) ? 0 : 1);
        });
        settling.start();
        shooter.start();
    }
    return QApplication::exec();
}
