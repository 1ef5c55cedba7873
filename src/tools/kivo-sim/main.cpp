// kivo-sim: a simulated KIVO meter on a pseudo-terminal, for technicians and system tests.
#include <sys/signalfd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "KivoVersion.h"
#include "SimOptions.h"
#include "Simulator.h"
#include "core/files/RegularFile.h"
#include "core/protocol/MeterIdentity.h"

int main(int argc, char** argv) {
    using kivo::sim::ParsedCommandLine;
    const ParsedCommandLine parsed =
        kivo::sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.kind == ParsedCommandLine::Kind::Help) {
        std::fputs(kivo::sim::SimUsage().c_str(), stdout);
        return 0;
    }
    if (parsed.kind == ParsedCommandLine::Kind::Version) {
        std::puts("kivo-sim " KIVO_VERSION);
        return 0;
    }
    if (parsed.kind == ParsedCommandLine::Kind::Error) {
        std::fprintf(stderr, "kivo-sim: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }

    // The poll loop takes SIGTERM and SIGINT as input, so it can end cleanly and remove
    // the link; a reader of our stdout that went away must not kill us either.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    kivo::sim::UniqueFd signalFd(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
    if (!signalFd.Valid()) {
        std::perror("kivo-sim: signalfd");
        return 1;
    }

    kivo::sim::SimOptions options = parsed.options;
    // A meter simulated from a device file says it is the meter that file was made for, as
    // the window checks.
    if (!options.devicePath.empty() && options.id == kivo::sim::SimOptions{}.id &&
        kivo::IsRegularFile(options.devicePath)) {
        std::ifstream device(options.devicePath);
        std::string title;
        std::getline(device, title);
        if (const std::optional<std::string> serial = kivo::SerialNumberIn(title))
            options.id = "VER KIVO-SIM 1.0 SN " + *serial;
    }

    try {
        kivo::sim::Simulator simulator(options, std::move(signalFd));
        return simulator.Run();
    } catch (const kivo::sim::StartupRefusal& refusal) {
        std::fprintf(stderr, "kivo-sim: %s\n", refusal.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kivo-sim: %s\n", error.what());
        return 1;
    }
}
