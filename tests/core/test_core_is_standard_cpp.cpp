#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// The core must build and run without the window toolkit: no file under src/core may
// include a Qt header.
TEST(CoreLibrary, IncludesNoQtHeader) {
    const std::filesystem::path core = std::filesystem::path(KIVO_SOURCE_DIR) / "src" / "core";
    ASSERT_TRUE(std::filesystem::is_directory(core));
    const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/)[^>"]*[>"])");
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(core)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            EXPECT_FALSE(std::regex_search(line, qtInclude))
                << entry.path() << ":" << number << ": " << line;
        }
    }
    EXPECT_GT(files, 10);
}

// The core's folders from the bottom up: a folder may include its own files and those of
// folders below it, never one above. Written down here once; the README lists the same.
const std::vector<std::string> kLayers = {
    "text",     "files",     "seams",  "data", "chain",    "position", "quality", "profile",
    "protocol", "recording", "export", "plot", "settings", "viewer",   "host"};

// A lower layer that reaches up (the device-file parser wanting the window, the viewer the
// session) ties what should stand alone to everything above it.
TEST(CoreLibrary, FoldersIncludeOnlyTheirOwnOrLowerLayers) {
    const std::filesystem::path core = std::filesystem::path(KIVO_SOURCE_DIR) / "src" / "core";
    const std::regex coreInclude(R"(^\s*#\s*include\s*"core/([A-Za-z_]+)/)");
    const auto rank = [](const std::string& folder) {
        return std::find(kLayers.begin(), kLayers.end(), folder) - kLayers.begin();
    };
    int checked = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(core)) {
        if (!entry.is_regular_file()) continue;
        const std::string folder = entry.path().parent_path().filename().string();
        EXPECT_LT(rank(folder), static_cast<long>(kLayers.size()))
            << folder << " is no layer of the core; add it to kLayers where it belongs";
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            if (!std::regex_search(line, match, coreInclude)) continue;
            ++checked;
            EXPECT_LE(rank(match[1]), rank(folder))
                << entry.path() << ":" << number << ": " << folder << " includes " << match[1]
                << ", a layer above it";
        }
    }
    EXPECT_GT(checked, 100);
}

// Within the order, no cycle either: a folder that includes one that includes it back (directly
// or round about) cannot be understood, tested or reused without the other.
TEST(CoreLibrary, FoldersIncludeOneAnotherWithoutACycle) {
    const std::filesystem::path core = std::filesystem::path(KIVO_SOURCE_DIR) / "src" / "core";
    const std::regex coreInclude(R"(^\s*#\s*include\s*"core/([A-Za-z_]+)/)");
    std::map<std::string, std::set<std::string>> includes;  // folder -> folders it includes
    for (const auto& entry : std::filesystem::recursive_directory_iterator(core)) {
        if (!entry.is_regular_file()) continue;
        const std::string folder = entry.path().parent_path().filename().string();
        includes[folder];
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (std::regex_search(line, match, coreInclude) && match[1] != folder)
                includes[folder].insert(match[1]);
        }
    }
    ASSERT_GT(includes.size(), 5u);
    // Depth-first search; a folder met again while still on the path closes a cycle.
    std::map<std::string, int> state;  // 0 unvisited, 1 on the path, 2 done
    std::vector<std::string> path;
    std::function<void(const std::string&)> visit = [&](const std::string& folder) {
        state[folder] = 1;
        path.push_back(folder);
        for (const std::string& next : includes[folder]) {
            if (state[next] == 1) {
                std::string cycle;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                    cycle += *it + " -> ";
                ADD_FAILURE() << "include cycle: " << cycle << next;
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[folder] = 2;
    };
    for (const auto& [folder, unused] : includes)
        if (state[folder] == 0) visit(folder);
}

}  // namespace
