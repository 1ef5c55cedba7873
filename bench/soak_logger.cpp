// A simulated week through kivo-log: 5 million lines of a nine-channel scattering meter written
// into a pseudo-terminal as fast as the logger takes them (a 1 ms tick instead of 55 ms, the
// same pump and chain). Passes when the logger's memory after 5 million lines is within 10 %
// of its memory after 1 million, the raw file holds every byte written and the
// engineering-units file one record per line.
//   soak_logger KIVO_LOG [LINES]
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "SoakLines.h"

namespace {

long FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string logger = argv[1];
    const long lines = argc > 2 ? std::atol(argv[2]) : 5000000;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kivo-soak-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string raw = (folder / "soak.raw").string();
    const std::string eng = (folder / "soak.eng").string();

    int meter = -1, port = -1;
    char name[256] = {};
    if (openpty(&meter, &port, name, nullptr, nullptr) != 0) return 2;
    termios settings{};
    tcgetattr(port, &settings);
    cfmakeraw(&settings);
    tcsetattr(port, TCSANOW, &settings);

    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(meter);
        const int quiet = open("/dev/null", O_WRONLY);  // its status lines are not the point
        if (quiet >= 0) dup2(quiet, STDOUT_FILENO);
        execl(logger.c_str(), logger.c_str(), "--port", name, "--dev",
              KIVO_TEST_DATA "/scatter9.dev", "--raw", raw.c_str(), "--eng", eng.c_str(), "--tick",
              "1", static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::string pid = std::to_string(child);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // its port opened

    long written = 0;
    long residentAtMillion = 0;
    for (long n = 0; n < lines; ++n) {
        const std::string line = SoakLine(n);
        if (write(meter, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 3;
        written += static_cast<long>(line.size());
        if (n + 1 == 1000000) {
            while (FileSize(raw) < written)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            residentAtMillion = ResidentKiB(pid);
            std::printf("after 1,000,000 lines: %ld KiB resident\n", residentAtMillion);
            std::fflush(stdout);
        }
    }
    // Everything written is recorded within a bounded wait.
    for (int i = 0; i < 6000 && FileSize(raw) < written; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const long residentAtEnd = ResidentKiB(pid);
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    const long rawLines = CountLines(raw);
    const long engLines = CountLines(eng);
    std::printf("after %ld lines: %ld KiB resident\n", lines, residentAtEnd);
    std::printf("raw %ld of %ld bytes, raw records %ld, engineering records %ld, exit %d\n",
                FileSize(raw), written, rawLines, engLines - 1, WEXITSTATUS(status));
    bool ok = FileSize(raw) == written && rawLines == lines && engLines == lines + 1 &&
              WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (residentAtMillion > 0) {
        const double growth = static_cast<double>(residentAtEnd) / residentAtMillion - 1.0;
        std::printf("memory growth from 1 to %ld million lines: %+.1f %%\n", lines / 1000000,
                    growth * 100.0);
        ok = ok && growth <= 0.10;
    }
    std::filesystem::remove_all(folder);
    std::printf("soak_logger: %s\n", ok ? "PASSED" : "FAILED");
    return ok ? 0 : 1;
}
