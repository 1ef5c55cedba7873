#include "gps/NmeaLog.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "gps/GpsdSource.h"

extern char** environ;

namespace kivo {

bool LooksLikeNmea(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        return line[first] == '$' || line[first] == '!';
    }
    return false;
}

std::optional<std::vector<PositionFix>> ReadNmeaLog(const std::string& path, std::string& error) {
    const int input = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        close(input);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    char program[] = "gpsdecode";
    char json[] = "-j";
    char* arguments[] = {program, json, nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        error = "gpsd's gpsdecode is needed to read an NMEA log (Debian package gpsd-clients): " +
                std::string(std::strerror(spawned));
        return std::nullopt;
    }
    std::vector<PositionFix> fixes;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(fdopen(pipeEnds[0], "r"), fclose);
    std::string line;
    for (int c = 0; out && (c = std::fgetc(out.get())) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (const std::optional<PositionFix> fix = FixOfGpsdJson(line)) fixes.push_back(*fix);
        line.clear();
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = WIFEXITED(status) && WEXITSTATUS(status) == 127
                    ? "gpsd's gpsdecode is needed to read an NMEA log (Debian package gpsd-clients)"
                    : "gpsdecode could not decode it";
        return std::nullopt;
    }
    return fixes;
}

}  // namespace kivo
