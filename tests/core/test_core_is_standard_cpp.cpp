#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

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

}  // namespace
