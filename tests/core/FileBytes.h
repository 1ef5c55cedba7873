#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>  // mkdtemp

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kivo::test {

// A folder of its own for one test's record files, removed afterwards.
struct ScratchDirectory {
    std::string path;
    ScratchDirectory() {
        std::string pattern = testing::TempDir() + "kivo-rec-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    std::string File(const std::string& name) const { return path + "/" + name; }
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Collects what a record file tells the operator.
struct ReportLog {
    std::vector<std::string> messages;
    auto Reporter() {
        return [this](const std::string& message) { messages.push_back(message); };
    }
};

inline bool DevFullAvailable() { return std::filesystem::exists("/dev/full"); }

}  // namespace kivo::test
