#pragma once

// What every fuzz target shares: seams that answer nothing and remember little, a scratch
// folder for the files a target writes, and a check that turns a broken promise into a
// crash libFuzzer keeps the input of.

#include <stdlib.h>  // mkdtemp

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "core/seams/Clock.h"
#include "core/seams/Prompts.h"

namespace kivo::fuzz {

[[noreturn]] inline void BrokenInvariant(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

// Like assert, but on in every build: a wrong result is a finding just as a crash is.
#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::kivo::fuzz::BrokenInvariant(__FILE__, __LINE__, #condition))

// Counts the boxes instead of keeping them: a long run shows millions of warnings.
class CountingPrompts final : public Prompts {
public:
    void ShowWarning(const std::string& caption, const std::string& text) override {
        ++warnings;
        lastCaption = caption;
        lastText = text;
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        ++messages;
        lastCaption = caption;
        lastText = text;
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileDialogSpec&) override { return {}; }

    std::uint64_t warnings = 0;
    std::uint64_t messages = 0;
    std::string lastCaption;
    std::string lastText;
};

// 5 March 2004 07:08:09, always: a target's result must not depend on when it runs. The
// steady clock moves only when the target says so.
class FixedClock final : public Clock {
public:
    LocalTime Now() override { return LocalTime{2004, 3, 5, 7, 8, 9}; }
    std::int64_t UtcMilliseconds() override { return 1078470489000; }
    std::int64_t SteadyMilliseconds() override { return steadyMs_; }
    void Advance(std::int64_t ms) { steadyMs_ += ms; }

private:
    std::int64_t steadyMs_ = 0;
};

// A folder of its own under the temporary directory (TMPDIR; scripts/fuzz points it at
// memory), removed when the target ends.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kivo-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("kivo fuzz: mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bytes [from, end of file).
inline std::string ReadFrom(const std::string& path, std::int64_t from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWhole(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "kivo fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
}

inline std::int64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

inline std::size_t CountOf(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

// The device files of tests/data, in the order the targets pick them by number.
inline constexpr const char* kDeviceFiles[] = {"fluoro.dev", "scatter9.dev", "scatter_ref.dev",
                                               "every_type.dev"};
inline constexpr std::size_t kDeviceFileCount = std::size(kDeviceFiles);

inline std::string DeviceFilePath(std::size_t index) {
    return std::string(KIVO_FUZZ_DATA) + "/" + kDeviceFiles[index % kDeviceFileCount];
}

// The input as bytes after a header of `skip` bytes (empty when the input is shorter).
inline std::string_view Body(const std::uint8_t* data, std::size_t size, std::size_t skip) {
    if (size <= skip) return {};
    return {reinterpret_cast<const char*>(data) + skip, size - skip};
}

}  // namespace kivo::fuzz
