// kivo-convert writes the golden engineering-units files of tests/replay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "../replay/ReplayCorpus.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

class ReplayCorpusConverted : public testing::TestWithParam<ReplayCase> {};

TEST_P(ReplayCorpusConverted, WritesTheExpectedFile) {
    const ReplayCase& c = GetParam();
    std::vector<std::string> arguments = {"--dev", c.File(".dev")};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.push_back(c.File(".raw"));
    const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, ReadBytes(c.File(".expected.eng")));
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReplayCorpusConverted, testing::ValuesIn(ReplayCorpus()),
                         [](const testing::TestParamInfo<ReplayCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace kivo::test
