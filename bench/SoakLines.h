#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

// The lines of a nine-wavelength scattering meter (tests/data/scatter9.dev: date, nine
// counts, time, internal temperature), different every line, CR LF ended.
inline std::string SoakLine(long n) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "11/20/03\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t12:%02ld:%02ld\t%ld\r\n",
                  100 + n % 3900, 200 + (n * 3) % 3800, 300 + (n * 5) % 3700, 400 + (n * 7) % 3600,
                  500 + (n * 11) % 3500, 600 + (n * 13) % 3400, 700 + (n * 17) % 3300,
                  800 + (n * 19) % 3200, 900 + (n * 23) % 3100, n / 60 % 60, n % 60, 3000 + n % 50);
    return line;
}

// Resident memory of a process [KiB].
inline long ResidentKiB(const std::string& pid = "self") {
    std::ifstream statm("/proc/" + pid + "/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

inline long CountLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    long lines = 0;
    std::string line;
    while (std::getline(in, line)) ++lines;
    return lines;
}
