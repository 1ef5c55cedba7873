// kivo-log on a nearly full disk: a 2 MB tmpfs, less than the 50 MB it keeps free. The
// recording stops with exit status 1 and a message, before any write fails, and every line
// it holds is a complete line the meter sent.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A small tmpfs mounted for the test and gone after it; none where mounting is not allowed.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : folder_(folder) {
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=2m") == 0;
        if (!mounted_) why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    std::string folder_;
    bool mounted_ = false;
    std::string why_;
};

TEST(LoggerDisk, ANearlyFullDiskStopsTheRecordingWithEveryLineKept) {
    ScratchDirectory scratch;
    const std::string folder = scratch.File("disk");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const SmallDisk disk(folder);
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.Why();
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    const std::string raw = folder + "/cast.raw";
    const ProcessResult run =
        RunToExit(KIVO_LOG_PATH,
                  {"--port", sim.PortPath(), "--dev", kDevice, "--raw", raw, "--duration", "20"},
                  milliseconds(30000));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("disk nearly full: 1 MB free where " + raw +
                           " is; recording stopped before the disk is full"),
              std::string::npos)
        << run.err;
    const std::string bytes = ReadBytes(raw);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (const std::string& line : Lines(bytes))
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 11) << line;
}

}  // namespace
}  // namespace kivo::test
