#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/files/FileIdentity.h"

namespace kivo {

// What a file is to the operator, in two forms: as the thing being written ("Cannot write
// the CSV recording to ...") and as the thing a target turned out to be ("... it is the raw
// recording that is running").
struct FileRole {
    const char* writing;
    const char* holding;
};

namespace roles {
inline constexpr FileRole kRawRecording{"the raw recording", "the raw recording that is running"};
inline constexpr FileRole kEngrRecording{"the engineering-units recording",
                                         "the engineering-units recording that is running"};
inline constexpr FileRole kCsvRecording{"the CSV recording", "the CSV recording that is running"};
inline constexpr FileRole kTrackRecording{"the GPS track", "the GPS track being recorded"};
inline constexpr FileRole kReceiveFile{"the memory download",
                                       "the receive file of the memory download that is running"};
inline constexpr FileRole kDeviceFile{"the device file", "the device file that is loaded"};
inline constexpr FileRole kLastSettings{"the settings", "the settings file last.rbs"};
inline constexpr FileRole kChartSettings{"the chart's look",
                                         "the chart settings file kivoiocomp.rbs"};
inline constexpr FileRole kPortSettings{"the port settings",
                                        "the port settings file kivoview-ports.ini"};
inline constexpr FileRole kEventLog{"the event log", "the event log"};
inline constexpr FileRole kReplay{"the replay", "the recording being replayed"};
inline constexpr FileRole kViewed{"the recording", "the recording shown in the viewer"};
inline constexpr FileRole kExportInput{"the recording", "the recording being exported"};
inline constexpr FileRole kExport{"the export", "the export being written"};
inline constexpr FileRole kChartImage{"the chart", "the chart image being saved"};
inline constexpr FileRole kPort{"the meter's port", "the meter's port"};
inline constexpr FileRole kConvertInput{"the input", "an input of this conversion"};
inline constexpr FileRole kConvertSettings{"the settings",
                                           "the settings file this conversion reads"};
inline constexpr FileRole kConvertOutput{"the output", "the output of this conversion"};
inline constexpr FileRole kOutput{"the output", "an output of this run"};
}  // namespace roles

// The files the program has open or loaded, each with its role, so that no output is ever
// opened onto one of them. Entries are held by move-only registrations: a closed recording
// leaves by itself. A registration outliving its registry does nothing. Safe to use from
// the exports' worker threads.
class FileRegistry {
    struct Entry {
        std::uint64_t id;
        std::string path;
        FileIdentity identity;
        FileRole role;
    };
    struct Shared {
        std::mutex mutex;
        std::vector<Entry> entries;
        std::uint64_t nextId = 1;
    };

public:
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept { *this = std::move(other); }
        Registration& operator=(Registration&& other) noexcept;
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration() { Reset(); }
        void Reset();
        bool Active() const { return id_ != 0; }

    private:
        friend class FileRegistry;
        Registration(std::weak_ptr<Shared> shared, std::uint64_t id)
            : shared_(std::move(shared)), id_(id) {}
        std::weak_ptr<Shared> shared_;
        std::uint64_t id_ = 0;
    };

    FileRegistry() : shared_(std::make_shared<Shared>()) {}
    FileRegistry(const FileRegistry&) = delete;
    FileRegistry& operator=(const FileRegistry&) = delete;

    // `identity` names the file as opened (its descriptor's); `path` is looked at again at
    // every check, in case another file has been put at that place since.
    Registration Register(const std::string& path, FileRole role);
    Registration Register(const std::string& path, const FileIdentity& identity, FileRole role);

    // The role of the registered file `target` is, other than `except`; none when it is
    // none of them.
    std::optional<FileRole> Holder(const FileIdentity& target,
                                   const Registration* except = nullptr) const;

private:
    std::shared_ptr<Shared> shared_;
};

// "Cannot write the CSV recording to "x.raw": it is the raw recording that is running."
std::string SameFileRefusal(FileRole writing, const std::string& path, FileRole holder);

}  // namespace kivo
