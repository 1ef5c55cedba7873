// Positions from the real gpsd: gpsd's own gpsfake replays tests/gps/ship.nmea (made by
// make-ship-log.py, with a stretch where the fix is lost) on a loopback port, and kivo-log
// records the simulated meter with --gps.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";
const std::string kShipLog = std::string(KIVO_SOURCE_DIR) + "/tests/gps/ship.nmea";

// A TCP port on 127.0.0.1 that nothing listens on now.
int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

bool Listening(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

// The log's fixes by their time of day ("12:00:07"), as written: degrees and minutes to four
// decimals. Read here only to know what to expect.
std::map<std::string, std::pair<double, double>> LogFixes() {
    std::map<std::string, std::pair<double, double>> fixes;
    std::istringstream in(ReadBytes(kShipLog));
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = Fields(line);
        if (f.size() < 7 || f[0] != "$GPGGA" || f[6] == "0") continue;
        const auto angle = [](const std::string& text, int degreeDigits, const std::string& side) {
            const double value =
                std::stod(text.substr(0, static_cast<std::size_t>(degreeDigits))) +
                std::stod(text.substr(static_cast<std::size_t>(degreeDigits))) / 60;
            return side == "S" || side == "W" ? -value : value;
        };
        fixes[f[1].substr(0, 2) + ":" + f[1].substr(2, 2) + ":" + f[1].substr(4, 2)] = {
            angle(f[2], 2, f[3]), angle(f[4], 3, f[5])};
    }
    return fixes;
}

// The rows of a CSV file after its heading, split; the heading's columns by name.
struct Table {
    std::map<std::string, std::size_t> column;
    std::vector<std::vector<std::string>> rows;
};

Table Read(const std::string& path) {
    Table table;
    std::istringstream in(ReadBytes(path));
    bool headed = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = Fields(line);
        if (!headed) {
            for (std::size_t i = 0; i < fields.size(); ++i) table.column[fields[i]] = i;
            headed = true;
        } else {
            table.rows.push_back(fields);
        }
    }
    return table;
}

class Gpsfake {
public:
    Gpsfake()
        : port_(FreePort()),
          process_("/usr/bin/gpsfake",
                   {"-q", "-n", "-c", "0.1", "-P", std::to_string(port_), kShipLog}) {}
    int Port() const { return port_; }
    bool Ready() {
        return WaitFor([this] { return Listening(port_); });
    }

private:
    int port_;
    ChildProcess process_;
};

// Every position in the CSV is the log's fix of its gps_time, to the log's precision; while
// the receiver has no fix the fields are empty, and a position comes back with the fix. The
// track holds the same fixes, at most one a second.
TEST(Gps, PositionsInTheCsvAreTheLogsFixesAndALostFixLeavesThemEmpty) {
    Gpsfake gpsd;
    ASSERT_TRUE(gpsd.Ready());
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "10", "--autorun"});
    const std::string csv = folder.File("run.csv");
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--raw", folder.File("run.raw"),
                      "--csv", csv, "--gps", "127.0.0.1:" + std::to_string(gpsd.Port())});
    // Recorded until a fix was had, lost and had again.
    const auto lostAndRegained = [&csv] {
        const Table t = Read(csv);
        if (t.column.count("lat") == 0) return false;
        int stage = 0;  // 0 before a position, 1 had one, 2 then none, 3 then one again
        for (const auto& row : t.rows) {
            const bool has = row.size() > t.column.at("lat") && !row[t.column.at("lat")].empty();
            if (has == (stage % 2 == 0)) ++stage;
        }
        return stage >= 3;
    };
    ASSERT_TRUE(WaitFor(lostAndRegained, milliseconds(60000))) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();

    const auto fixes = LogFixes();
    const Table t = Read(csv);
    const std::size_t lat = t.column.at("lat"), lon = t.column.at("lon"),
                      gpsTime = t.column.at("gps_time"), fix = t.column.at("fix");
    std::size_t placed = 0;
    for (const auto& row : t.rows) {
        ASSERT_GT(row.size(), fix);
        if (row[lat].empty()) {
            EXPECT_TRUE(row[lon].empty() && row[gpsTime].empty() && row[fix].empty());
            continue;
        }
        ++placed;
        EXPECT_EQ(row[fix], "3D");
        if (row[gpsTime].empty()) {
            // gpsd's first report of a log, before any sentence gave the date, has no time:
            // its position is still one of the log's.
            bool found = false;
            for (const auto& [time, place] : fixes)
                found = found || std::fabs(std::stod(row[lat]) - place.first) < 0.5e-4 / 60;
            EXPECT_TRUE(found) << row[lat];
            continue;
        }
        ASSERT_EQ(row[gpsTime].size(), 24u) << row[gpsTime];  // 2026-12-10T12:00:07.000Z
        EXPECT_EQ(row[gpsTime].substr(0, 11), "2026-12-10T");
        const auto known = fixes.find(row[gpsTime].substr(11, 8));
        ASSERT_NE(known, fixes.end()) << "no fix in the log at " << row[gpsTime];
        EXPECT_NEAR(std::stod(row[lat]), known->second.first, 0.5e-4 / 60);
        EXPECT_NEAR(std::stod(row[lon]), known->second.second, 0.5e-4 / 60);
    }
    EXPECT_GT(placed, 10u);

    const Table track = Read(folder.File("run.track.csv"));
    ASSERT_GT(track.rows.size(), 3u);
    std::string last;
    for (const auto& row : track.rows) {
        const std::string time = row[track.column.at("time")];
        EXPECT_NE(time, last);
        last = time;
        const auto known = fixes.find(time.substr(11, 8));
        ASSERT_NE(known, fixes.end()) << time;
        EXPECT_NEAR(std::stod(row[track.column.at("lat")]), known->second.first, 0.5e-4 / 60);
    }
    const std::string events = ReadBytes(folder.File("kivoview-events.log"));
    EXPECT_NE(events.find("GPS: the receiver lost its fix"), std::string::npos) << events;
}

// No gpsd: told once, and the recording goes on without positions.
TEST(Gps, AnAbsentGpsdIsToldOnceAndTheRecordingGoesOn) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "10", "--autorun"});
    const std::string csv = folder.File("run.csv");
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--csv", csv,
                                     "--gps", "127.0.0.1:" + std::to_string(FreePort())});
    // Long enough for the link to be tried again (every few seconds).
    ASSERT_TRUE(WaitFor([&csv] { return Read(csv).rows.size() > 60; }, milliseconds(30000)))
        << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();
    const std::string err = log.Stderr();
    const auto told = err.find("cannot be reached");
    ASSERT_NE(told, std::string::npos) << err;
    EXPECT_EQ(err.find("cannot be reached", told + 1), std::string::npos) << err;
    const Table t = Read(csv);
    for (const auto& row : t.rows) EXPECT_TRUE(row.at(t.column.at("lat")).empty());
}

}  // namespace
}  // namespace kivo::test
