// The converter's two-thread engineering-units recorder writes the golden files too, byte for
// byte, whatever the size of its batches; a full disk is told once and nothing follows it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../replay/ReplayCorpus.h"
#include "FakePrompts.h"
#include "FileBytes.h"
#include "SessionFixture.h"
#include "core/chain/DataChain.h"
#include "core/chain/LineAssembler.h"
#include "core/data/DeviceFile.h"
#include "core/recording/PipelinedRecorder.h"

namespace kivo::test {
namespace {

// Lines of a raw file into a chain, as kivo-convert feeds them.
struct Feeder final : LineSink {
    DataChain& chain;
    ChainOptions options;
    FixedClock clock;
    Feeder(DataChain& c, ChainOptions o) : chain(c), options(o) {}
    void OnLine(const std::string& line) override { chain.Accept(line, true, options, clock); }
    void OnOverflow() override {}
};

TEST(PipelinedEngrRecorder, WritesTheGoldenFilesForAnyBatchSize) {
    for (const ReplayCase& c : ReplayCorpus()) {
        // The clock replies of a corpus case go through the converter only; the chain alone
        // must agree with the plain recorder, which the corpus tests hold to the golden files.
        for (const std::size_t batch : {std::size_t{1}, std::size_t{7}, std::size_t{1024}}) {
            SCOPED_TRACE(c.name + " in batches of " + std::to_string(batch));
            DeviceCalibration calibration;
            std::string name;
            FakePrompts prompts;
            std::ifstream device(c.File(".dev"));
            ASSERT_TRUE(ReadDeviceFile(device, calibration, name, prompts));
            const ChainOptions options{c.Has("--alt"), c.Has("--refcorr"), c.Has("--tempcorr")};
            const std::string raw = ReadBytes(c.File(".raw"));

            ScratchDirectory folder;
            std::string told;
            DataChain plainChain(calibration);
            plainChain.DeviceFileLoaded();
            EngrRecorder plain(calibration, [&](const std::string& m) { told += m; });
            ASSERT_TRUE(plain.Start(folder.File("plain.eng")));
            plainChain.AddSink(plain);
            DataChain pipedChain(calibration);
            pipedChain.DeviceFileLoaded();
            PipelinedEngrRecorder piped(
                calibration, [&](const std::string& m) { told += m; }, batch);
            ASSERT_TRUE(piped.Start(folder.File("piped.eng")));
            pipedChain.AddSink(piped);
            for (DataChain* chain : {&plainChain, &pipedChain}) {
                Feeder feeder(*chain, options);
                LineAssembler assembler;
                assembler.Feed(raw.data(), raw.size(), feeder);
            }
            plain.Stop();
            EXPECT_TRUE(piped.Stop());
            EXPECT_EQ(told, "");
            EXPECT_EQ(ReadBytes(folder.File("piped.eng")), ReadBytes(folder.File("plain.eng")));
        }
    }
}

TEST(PipelinedEngrRecorder, AWriteThatFailsOnTheWorkerIsToldOnceAndStopsIt) {
    DeviceCalibration calibration;
    std::string name;
    FakePrompts prompts;
    std::ifstream device(TestDataFile("scatter9.dev"));
    ASSERT_TRUE(ReadDeviceFile(device, calibration, name, prompts));
    std::vector<std::string> told;
    PipelinedEngrRecorder recorder(
        calibration, [&](const std::string& m) { told.push_back(m); }, 16);
    DataChain chain(calibration);
    chain.AddSink(recorder);
    // A pipe whose reader goes away once the heading is through: the worker's next write
    // fails (EPIPE, with SIGPIPE ignored as the tools ignore it).
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const std::string path = "/proc/self/fd/" + std::to_string(ends[1]);
    ASSERT_TRUE(recorder.Start(path));
    ASSERT_TRUE(recorder.Active());
    close(ends[0]);
    close(ends[1]);
    FixedClock clock;
    const std::string line = "11/20/03\t1\t2\t3\t4\t5\t6\t7\t8\t9\t12:00:00\t3000";
    for (int i = 0; i < 20000 && recorder.Active(); ++i) chain.Accept(line, true, {}, clock);
    EXPECT_FALSE(recorder.Active());
    EXPECT_FALSE(recorder.Stop());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(path), std::string::npos);
}

}  // namespace
}  // namespace kivo::test
