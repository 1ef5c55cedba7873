// The window's receive chain records the golden engineering-units files of tests/replay.
#include <gtest/gtest.h>

#include <string>

#include "../replay/ReplayCorpus.h"
#include "SessionFixture.h"

namespace kivo::test {
namespace {

class ReplayCorpusInWindow : public testing::TestWithParam<ReplayCase> {};

// A fresh start, the case's switches set as last.rbs would restore them, Record Engr on,
// then the raw file replayed to its end.
TEST_P(ReplayCorpusInWindow, RecordsTheExpectedFile) {
    const ReplayCase& c = GetParam();
    SessionFixture fixture;
    fixture.Ticks(1);
    SharedState& state = fixture.session.State();
    state.alternateCommands = c.Has("--alt");
    state.RefChannelCorrection = c.Has("--refcorr") ? 1 : 0;
    state.TempCorrection = c.Has("--tempcorr") ? 1 : 0;
    ASSERT_TRUE(fixture.session.LoadDeviceFile(c.File(".dev")));
    const std::string eng = fixture.folder.File("recorded.eng");
    ASSERT_TRUE(fixture.session.Recording().StartEngrRecording(eng));
    ASSERT_TRUE(fixture.session.OpenReplay(c.File(".raw")));
    fixture.session.BTStartClick();
    for (int tick = 0; tick < 5000 && state.ReplayRunning; ++tick) fixture.Ticks(1);
    ASSERT_FALSE(state.ReplayRunning) << "the replay did not reach the end of the file";
    fixture.session.Recording().StopAll();
    EXPECT_EQ(ReadBytes(eng), ReadBytes(c.File(".expected.eng")));
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReplayCorpusInWindow, testing::ValuesIn(ReplayCorpus()),
                         [](const testing::TestParamInfo<ReplayCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace kivo::test
