// Positions: the track's interpolation against its written definition, the track files read
// back, and the GPS keeper's judgement of a fix and the notices it gives.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "core/export/TrackFile.h"
#include "core/files/FileRegistry.h"
#include "core/position/PositionKeeper.h"
#include "core/position/Track.h"

namespace kivo::test {
namespace {

PositionFix Fix(double time, double lat, double lon) {
    PositionFix fix;
    fix.time = time;
    fix.lat = lat;
    fix.lon = lon;
    fix.mode = FixMode::ThreeD;
    return fix;
}

PositionFix Lost(double time) {
    PositionFix fix;
    fix.time = time;
    return fix;
}

TEST(Track, InterpolatesBetweenNeighboursWithinTheGapAndNeverBridgesALostFix) {
    // Given out of order: the track sorts them.
    const Track track({Fix(20, 10.0, 179.0), Fix(10, 10.0, 170.0), Fix(0, 0.0, 0.0),
                       Fix(4, 4.0, -8.0), Lost(30), Fix(22, 12.0, -179.0), Fix(40, 5.0, 5.0)});
    struct Case {
        double time;
        double gap;
        bool placed;
        double lat, lon;
    };
    const std::vector<Case> cases = {
        {0, 10, true, 0, 0},        // on a fix
        {1, 10, true, 1, -2},       // between two
        {3.5, 0.5, true, 3.5, -7},  // the nearer within the gap is enough
        {7, 2.9, false, 0, 0},      // both farther than the gap
        {7, 3, true, 7, 81},        // exactly the gap away
        {21, 10, true, 11, -180},   // across the date line, the short way
        {21.5, 10, true, 11.5, -179.5},
        {-2, 5, true, 0, 0},  // before the first: the first, no extrapolation
        {-6, 5, false, 0, 0},
        {26, 10, true, 12, -179},  // the lost fix at 30 is farther: the one at 22
        {29, 10, false, 0, 0},     // the lost fix is the nearer: none
        {35, 10, false, 0, 0},     // between a lost fix and one: never bridged
        {38, 10, true, 5, 5},
        {45, 10, true, 5, 5},  // after the last
        {NAN, 10, false, 0, 0},
    };
    for (const Case& c : cases) {
        const std::optional<PositionFix> at = track.At(c.time, c.gap);
        ASSERT_EQ(at.has_value(), c.placed) << "at " << c.time;
        if (!at) continue;
        EXPECT_NEAR(at->lat, c.lat, 1e-12) << "at " << c.time;
        EXPECT_NEAR(at->lon, c.lon, 1e-12) << "at " << c.time;
        EXPECT_GE(at->lon, -180.0);
        EXPECT_LT(at->lon, 180.0);
    }
}

TEST(TrackFile, ReadsOursAndOtherCsvAndRefusesABadRowByItsLine) {
    std::istringstream ours(
        "# title: GPS track\r\ntime,lat,lon,fix,speed,course\r\n"
        "2026-12-10T12:00:01.000Z,44.636908333,-63.568315,3D,2.624,70\r\n"
        "2026-12-10T12:00:02.500Z,44.5,-63.5,2D,,\r\n");
    std::string error;
    const auto fixes = ReadTrackCsv(ours, error);
    ASSERT_TRUE(fixes) << error;
    ASSERT_EQ(fixes->size(), 2u);
    EXPECT_DOUBLE_EQ((*fixes)[0].time, 1796904001.0);
    EXPECT_DOUBLE_EQ((*fixes)[0].lat, 44.636908333);
    EXPECT_DOUBLE_EQ((*fixes)[0].speed, 2.624);
    EXPECT_DOUBLE_EQ((*fixes)[1].time, 1796904002.5);
    EXPECT_EQ((*fixes)[1].mode, FixMode::TwoD);
    EXPECT_TRUE(std::isnan((*fixes)[1].course));

    // Another program's names, a zone offset, a lost fix, longitudes east of 180.
    std::istringstream other(
        "Latitude,Longitude,DateTime\n1.5,359.5,2026-12-10 "
        "14:00:00+02:00\n,,2026-12-10T12:00:01Z\n");
    const auto theirs = ReadTrackCsv(other, error);
    ASSERT_TRUE(theirs) << error;
    EXPECT_DOUBLE_EQ((*theirs)[0].time, 1796904000.0);
    EXPECT_DOUBLE_EQ((*theirs)[0].lon, -0.5);
    EXPECT_FALSE((*theirs)[1].HasPosition());

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"time,lat\n", "line 1: no time, lat and lon columns"},
        {"time,lat,lon\n2026-12-10T12:00:00Z,44.1,-63\n2026-13-10T12:00:00Z,44,-63\n",
         "line 3: the time"},
        {"time,lat,lon\n2026-12-10T12:00:00Z,91,-63\n", "line 2: the latitude"},
        {"time,lat,lon\n2026-12-10T12:00:00Z,44,\n", "line 2: the longitude"},
        {"time,lat,lon\n2026-12-10T12:00:00 UTC,44,-63\n", "line 2: the time"},
    };
    for (const auto& [text, why] : refused) {
        std::istringstream in(text);
        EXPECT_FALSE(ReadTrackCsv(in, error)) << text;
        EXPECT_EQ(error.rfind(why, 0), 0u) << error;
    }
}

// gpsd reports GGA and RMC of one second as two fixes, only the second with speed and course:
// the track keeps the second's last, and the last of all when it stops.
TEST(TrackFile, KeepsTheLastFixOfEachSecond) {
    ScratchDirectory folder;
    const std::string path = folder.File("run.track.csv");
    std::vector<std::string> told;
    TrackRecorder track([&told](const std::string& m) { told.push_back(m); });
    ASSERT_TRUE(
        track.Start(OutputFile::Open(nullptr, path, roles::kTrackRecording, OutputMode::Append),
                    "gpsd at localhost:2947", "test"));
    PositionFix gga = Fix(1796904001.0, 44.5, -63.5);
    PositionFix rmc = gga;
    rmc.speed = 2.5;
    rmc.course = 70;
    track.Add(gga);
    track.Add(rmc);
    track.Add(Fix(1796904002.0, 44.6, -63.4));
    track.Add(Lost(1796904002.5));
    track.Add(Fix(1796904003.2, 44.7, -63.3));
    track.Stop();
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("time,lat,lon,fix,speed,course\r\n"
                        "2026-12-10T12:00:01.000Z,44.5,-63.5,3D,2.5,70\r\n"
                        "2026-12-10T12:00:02.000Z,44.6,-63.4,3D,,\r\n"
                        "2026-12-10T12:00:03.200Z,44.7,-63.3,3D,,\r\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(told.empty());
}

TEST(TrackFile, ATrackIsNamedForItsRecording) {
    EXPECT_EQ(TrackPathFor("/data/cast7.raw"), "/data/cast7.track.csv");
    EXPECT_EQ(TrackPathFor("/data.d/cast7"), "/data.d/cast7.track.csv");
    EXPECT_EQ(TrackPathFor("cast.7.csv"), "cast.7.track.csv");
}

TEST(GpsText, DegreesAndMinutesCarryTheirRounding) {
    EXPECT_EQ(LatitudeText(44.6369), "44\u00b038.214\u2032N");
    EXPECT_EQ(LongitudeText(-63.568350), "063\u00b034.101\u2032W");
    EXPECT_EQ(LatitudeText(-0.0000001), "00\u00b000.000\u2032N");  // no "S" for a zero
    EXPECT_EQ(LatitudeText(12.9999999), "13\u00b000.000\u2032N");  // 59.99999' is 60'
    EXPECT_EQ(LongitudeText(179.99), "179\u00b059.400\u2032E");

    const std::vector<std::pair<std::string, std::string>> addresses = {
        {"localhost", "localhost:2947"},
        {"ship-gps:4000", "ship-gps:4000"},
        {"[::1]:2948", "[::1]:2948"},
        {"::1", "[::1]:2947"},
    };
    for (const auto& [text, address] : addresses) {
        const auto parsed = ParseGpsAddress(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(parsed->Address(), address);
    }
    for (const char* bad : {"", "host:", "host:0", "host:70000", "[::1", "a b", "h:x"})
        EXPECT_FALSE(ParseGpsAddress(bad)) << bad;
}

// A source the test scripts.
class ScriptedSource final : public PositionSource {
public:
    void Open(const std::string& host, int port) override {
        opened.push_back(host + ":" + std::to_string(port));
    }
    void Close() override { ++closed; }
    std::vector<PositionReport> Take() override { return std::exchange(reports, {}); }

    std::vector<std::string> opened;
    int closed = 0;
    std::vector<PositionReport> reports;
};

TEST(PositionKeeper, AFixCountsWhileFreshAndEachChangeIsToldOnce) {
    ScriptedSource source;
    std::vector<std::string> told;
    std::vector<PositionFix> tracked;
    PositionKeeper keeper({&source, [&](const std::string& t) { told.push_back(t); },
                           [&](const PositionFix& f) { tracked.push_back(f); }});
    EXPECT_FALSE(keeper.Status(0));
    GpsSettings settings;
    settings.enabled = true;
    keeper.Apply(settings, 0);
    EXPECT_EQ(source.opened, std::vector<std::string>{"localhost:2947"});
    const auto report = [&](PositionReport::Kind kind, PositionFix fix = {}) {
        source.reports.push_back({kind, fix, "refused"});
    };
    report(PositionReport::Kind::Unreachable);
    report(PositionReport::Kind::Unreachable);
    keeper.Tick(1000);
    EXPECT_TRUE(keeper.Status(1000)->warning);
    report(PositionReport::Kind::Connected);
    report(PositionReport::Kind::Fix, Fix(100, 44.6369, -63.56835));
    keeper.Tick(2000);
    ASSERT_TRUE(keeper.Current(2000));
    EXPECT_EQ(keeper.Status(3999)->text,
              "GPS 44\u00b038.214\u2032N 063\u00b034.101\u2032W \u00b7 3D \u00b7 1 s");
    EXPECT_FALSE(keeper.Status(3999)->warning);
    // Fresh up to 10 s after it came, by the computer's clock, then lost.
    EXPECT_TRUE(keeper.Current(12000));
    keeper.Tick(12001);
    EXPECT_FALSE(keeper.Current(12001));
    EXPECT_TRUE(keeper.Status(12001)->warning);
    keeper.Tick(13000);
    report(PositionReport::Kind::Fix, Fix(112, 44.7, -63.5));
    report(PositionReport::Kind::Fix, Lost(113));
    report(PositionReport::Kind::Fix, Lost(114));
    keeper.Tick(14000);
    EXPECT_FALSE(keeper.Current(14000));
    report(PositionReport::Kind::Gone);
    report(PositionReport::Kind::Unreachable);
    report(PositionReport::Kind::Connected);
    keeper.Tick(15000);
    EXPECT_EQ(told, (std::vector<std::string>{
                        "GPS on: gpsd at localhost:2947",
                        "GPS: gpsd at localhost:2947 cannot be reached (refused); trying again",
                        "GPS: gpsd at localhost:2947 is back",
                        "GPS: 3D fix at 44\u00b038.214\u2032N 063\u00b034.101\u2032W",
                        "GPS: no fix for 10 s",
                        "GPS: 3D fix at 44\u00b042.000\u2032N 063\u00b030.000\u2032W",
                        "GPS: the receiver lost its fix",
                        "GPS: gpsd at localhost:2947 went away; trying again",
                        "GPS: gpsd at localhost:2947 is back",
                    }));
    EXPECT_EQ(tracked.size(), 2u);
    EXPECT_EQ(keeper.TakeNotices().size(), told.size());

    settings.enabled = false;
    keeper.Apply(settings, 16000);
    EXPECT_EQ(source.closed, 1);
    EXPECT_FALSE(keeper.Status(16000));
    EXPECT_FALSE(keeper.Current(16000));
}

}  // namespace
}  // namespace kivo::test
