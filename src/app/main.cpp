// KIVO View: the host program for KIVO optical meters on a serial line.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "app/Screenshots.h"
#include "app/TForm1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kivoview");
    QApplication::setApplicationVersion("1.16");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "KIVO View: watch, convert, record and set up a KIVO meter on a serial port.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption com(
        "com", "Map port COMn to a device path, e.g. --com 1=/dev/ttyUSB0 (repeatable). "
               "Default: COMn is /dev/ttyS(n-1).",
        "N=PATH");
    parser.addOption(com);
    const QCommandLineOption screenshot(
        "screenshot", "Run as usual for the settle time, save a PNG of every page and window in DIR, "
                      "and exit.",
        "DIR");
    parser.addOption(screenshot);
    const QCommandLineOption settle("settle", "Seconds to run before the screenshots (default 2).",
                                    "SECONDS", "2");
    parser.addOption(settle);
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "kivoview: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet("version")) {
        std::printf("kivoview 1.16\n");
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kivoview: unexpected argument '%s'\n",
                     qPrintable(parser.positionalArguments().front()));
        return 2;
    }

    kivo::TForm1Options options;
    for (const QString& mapping : parser.values(com)) {
        if (const auto error = options.ports.ApplyOverride(mapping.toStdString())) {
            std::fprintf(stderr, "kivoview: --com: %s\n", error->c_str());
            return 2;
        }
    }

    bool settleOk = false;
    const double settleSeconds = parser.value(settle).toDouble(&settleOk);
    if (!settleOk || settleSeconds < 0) {
        std::fprintf(stderr, "kivoview: --settle takes a number of seconds\n");
        return 2;
    }

    kivo::TForm1 window(std::move(options));
    window.show();
    if (parser.isSet(screenshot)) {
        const QString directory = parser.value(screenshot);
        QTimer::singleShot(static_cast<int>(settleSeconds * 1000), &window, [&window, directory] {
            const QStringList written = kivo::TakeScreenshots(window, directory);
            for (const QString& path : written) std::printf("%s\n", qPrintable(path));
            QApplication::exit(written.size() == 9 ? 0 : 1);
        });
    }
    return QApplication::exec();
}
