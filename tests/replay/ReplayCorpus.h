#pragma once

// The golden replay corpus in this folder: for each NAME, a device file NAME.dev, a recorded
// NAME.raw with the noise a meter line carries, NAME.expected.eng checked against the
// formulas by check-expected.py (never saved from the program's output), and optionally
// NAME.options with kivo-convert's switches (--alt, --refcorr, --tempcorr) for the case.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace kivo::test {

struct ReplayCase {
    std::string name;
    std::vector<std::string> options;

    bool Has(const std::string& option) const {
        return std::find(options.begin(), options.end(), option) != options.end();
    }
    std::string File(const std::string& extension) const {
        return std::string(KIVO_SOURCE_DIR) + "/tests/replay/" + name + extension;
    }
};

// Every NAME.dev of the folder, by name: a case added there is run without a code change.
inline std::vector<ReplayCase> ReplayCorpus() {
    std::vector<ReplayCase> cases;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(KIVO_SOURCE_DIR) + "/tests/replay")) {
        if (entry.path().extension() != ".dev") continue;
        ReplayCase c{entry.path().stem().string(), {}};
        std::ifstream options(c.File(".options"));
        for (std::string option; options >> option;) c.options.push_back(option);
        cases.push_back(c);
    }
    std::sort(cases.begin(), cases.end(),
              [](const ReplayCase& a, const ReplayCase& b) { return a.name < b.name; });
    return cases;
}

inline void PrintTo(const ReplayCase& c, std::ostream* out) { *out << c.name; }

}  // namespace kivo::test
