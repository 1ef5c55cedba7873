// The recording viewer's figures (make bench): a million-line nine-wavelength raw file
// opened and drawn whole; zoom and pan redraws at five million lines; memory kept per line.
// Medians of several runs, since other work may share the machine.
//   bench_viewer [LINES_TO_OPEN] [LINES_TO_REDRAW]
#include <qcustomplot.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "QuietPrompts.h"
#include "core/data/DeviceFile.h"
#include "viewer/RecordingViewer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Date, nine counts, time, internal temperature: the columns of scatter9.dev, a line a
// second from 20 November 2003, the counts drifting slowly with a little noise.
void WriteRawFile(const std::string& path, long lines) {
    std::ofstream out(path, std::ios::binary);
    std::string buffer;
    char line[160];
    for (long i = 0; i < lines; ++i) {
        const std::time_t t = 1069286400 + i;
        std::tm utc{};
        gmtime_r(&t, &utc);
        int n = std::snprintf(line, sizeof line, "%02d/%02d/%02d", utc.tm_mon + 1, utc.tm_mday,
                              utc.tm_year % 100);
        for (int c = 0; c < 9; ++c) {
            const int counts = 1600 + static_cast<int>(1400 * std::sin(i / (4000.0 + 900 * c))) +
                               static_cast<int>((i * 7919 + c * 31) % 23);
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "\t%d", counts);
        }
        n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n),
                           "\t%02d:%02d:%02d\t%ld\r\n", utc.tm_hour, utc.tm_min, utc.tm_sec,
                           3000 + i % 50);
        buffer.append(line, static_cast<std::size_t>(n));
        if (buffer.size() > (1 << 20)) {
            out << buffer;
            buffer.clear();
        }
    }
    out << buffer;
}

long PeakResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

kivo::ViewerDevice Scatter9() {
    kivo::ViewerDevice device;
    std::ifstream file(std::string(KIVO_TEST_DATA) + "/scatter9.dev");
    QuietPrompts prompts;
    if (!kivo::ReadDeviceFile(file, device.calibration, device.deviceName, prompts)) std::exit(1);
    return device;
}

}  // namespace

int main(int argc, char** argv) {
    const long openLines = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long redrawLines = argc > 2 ? std::atol(argv[2]) : 5000000;
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString raw = folder.filePath("week.raw");
    WriteRawFile(raw.toStdString(), openLines);
    const kivo::ViewerDevice device = Scatter9();
    QuietPrompts prompts;

    // ---- open and whole on the chart ----
    std::vector<double> opens;
    double bytesPerLine = 0;
    std::size_t lines = 0;
    const long rssBefore = ResidentKilobytes();
    for (int run = 0; run < 3; ++run) {
        kivo::RecordingViewer viewer(prompts, device, nullptr);
        viewer.resize(1200, 800);
        viewer.show();
        QSignalSpy finished(&viewer, &kivo::RecordingViewer::LoadFinished);
        const Clock::time_point start = Clock::now();
        viewer.Open(QFile::encodeName(raw).toStdString());
        while (finished.isEmpty()) finished.wait(10);
        viewer.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        opens.push_back(Seconds(start));
        if (viewer.Data() == nullptr) return 1;
        lines = viewer.Data()->Lines();
        bytesPerLine = static_cast<double>(viewer.Data()->BytesKept()) / static_cast<double>(lines);
    }
    std::printf(
        "open %zu lines (%.0f MB raw, scatter9.dev: 10 channels) and whole on the chart: "
        "median %.2f s of 3 (%.2f .. %.2f s)\n",
        lines, static_cast<double>(QFileInfo(raw).size()) / 1e6, Median(opens),
        *std::min_element(opens.begin(), opens.end()),
        *std::max_element(opens.begin(), opens.end()));
    std::printf(
        "memory kept: %.1f bytes per line (the storage's own accounting: floats, the "
        "meter's time, the pyramid); peak RSS %ld KB (%ld KB before the first open)\n",
        bytesPerLine, PeakResidentKilobytes(), rssBefore);

    // ---- redraws at five million lines, from a recording built in memory ----
    auto data = std::make_unique<kivo::RecordingData>(
        std::vector<kivo::ViewerChannel>(10, kivo::ViewerChannel{"channel", 0x00ff00, ""}));
    data->Reserve(static_cast<std::size_t>(redrawLines));
    std::vector<float> row(10);
    for (long i = 0; i < redrawLines; ++i) {
        for (int c = 0; c < 10; ++c)
            row[static_cast<std::size_t>(c)] =
                static_cast<float>(std::sin(i / (4000.0 + 900 * c)) + (i * 7919 % 23) * 0.001);
        data->Append(row.data(), 1069286400 + i / 8);  // eight lines a second
    }
    data->Finish();
    const double redrawBytes = static_cast<double>(data->BytesKept()) / redrawLines;
    kivo::RecordingViewer viewer(prompts, device, nullptr);
    viewer.resize(1200, 800);
    viewer.show();
    viewer.ShowRecording(std::move(data), "five-million.raw");
    const kivo::RecordingData& shown = *viewer.Data();
    const double first = shown.X(0);
    const double span = shown.X(shown.Lines() - 1) - first;
    std::mt19937 random(1);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    std::vector<double> redraws;
    double width = span;
    double low = first;
    for (int i = 0; i < 100; ++i) {
        // Zoom in or out by up to 2x, or pan by up to half the view, anywhere from the whole
        // recording down to a minute.
        if (i % 2 == 0) {
            width = std::clamp(width * std::pow(2.0, 2 * fraction(random) - 1), 60.0, span);
        } else {
            low += (fraction(random) - 0.5) * width;
        }
        low = std::clamp(low, first, first + span - width);
        const Clock::time_point start = Clock::now();
        viewer.ShowRange(low, low + width);
        viewer.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        redraws.push_back(Seconds(start) * 1000.0);
    }
    // The envelopes alone, over the same views.
    std::vector<double> envelopes;
    std::vector<kivo::EnvelopePoint> points;
    low = first;
    width = span;
    std::mt19937 again(1);
    for (int i = 0; i < 100; ++i) {
        if (i % 2 == 0) {
            width = std::clamp(width * std::pow(2.0, 2 * fraction(again) - 1), 60.0, span);
        } else {
            low += (fraction(again) - 0.5) * width;
        }
        low = std::clamp(low, first, first + span - width);
        const Clock::time_point start = Clock::now();
        for (int c = 0; c < 10; ++c) shown.Envelope(c, low, low + width, 1129, points);
        envelopes.push_back(Seconds(start) * 1000.0);
    }
    std::printf("of which the envelopes: median %.2f ms\n", Median(envelopes));
    std::printf(
        "zoom or pan redraw at %zu lines (10 channels, %d pixel columns, statistics "
        "included): median %.2f ms, 90th percentile %.2f ms, worst %.2f ms of 100; "
        "%.1f bytes per line kept\n",
        shown.Lines(), viewer.Plot()->axisRect()->width(), Median(redraws),
        [&] {
            std::vector<double> sorted = redraws;
            std::sort(sorted.begin(), sorted.end());
            return sorted[sorted.size() * 9 / 10];
        }(),
        *std::max_element(redraws.begin(), redraws.end()), redrawBytes);
    return 0;
}
