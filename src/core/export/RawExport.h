#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/chain/DataChain.h"
#include "core/data/DeviceCalibration.h"
#include "core/export/Exporter.h"
#include "core/files/OutputFile.h"
#include "core/profile/Casts.h"
#include "core/seams/Prompts.h"

namespace kivo {

// What a converted recording becomes: the engineering-units file the window records, or the
// same values at full precision for other programs.
enum class ExportFormat { Eng, Csv, Netcdf };

// Raw files read one after the other through one line assembler and one data chain, with a
// device file loaded, into one output, as a recording of them all.
struct RawExportJob {
    std::vector<std::string> rawPaths;
    ExportFormat format = ExportFormat::Csv;
    DeviceCalibration calibration;
    std::string deviceName;
    ChainOptions options;
    // What the file says of its making; the chain's three switches are taken from `options`.
    ExportOptions facts;
    // "key = value" lines added to the facts' attributes; a file that is not there adds none.
    std::string attributeFile;
    // Only the records of lines [firstLine, lastLine), counted from 0, are written; reading
    // stops after the last.
    std::size_t firstLine = 0;
    std::size_t lastLine = std::numeric_limits<std::size_t>::max();
    // Profiles: a first pass finds each record's cast and phase in the pressure column, and
    // the export carries them as three more columns; with a bin size [dbar] above 0 it holds
    // the bin-averaged profiles instead (eng has neither). The device file needs a pressure
    // column.
    std::optional<CastThresholds> casts;
    double binSize = 0.0;
    // With `casts`: only the records of this cast (1, 2 ...), numbered as in the whole range;
    // 0 writes every record.
    int onlyCast = 0;
};

// How the caller follows a run. Each part may be left empty.
struct RawExportWatch {
    std::function<bool()> cancelled;          // asked before each read: true ends the run
    std::function<void(std::int64_t)> sized;  // the bytes of the raw files, when known
    std::function<void(std::int64_t)> read;   // each chunk's bytes, as read
    // Told column mismatches, input overflows and the output's failures as they come (a
    // console); a worker with no one to tell leaves it empty.
    Prompts* prompts = nullptr;
};

struct RawExportResult {
    enum class End {
        Written,  // and put in place
        Cancelled,
        NoRecord,    // nothing written: a file of nothing but a heading would pass as a result
        CannotOpen,  // `rawPath`
        ReadFailed,  // `rawPath`
        Refused,     // the output or the attribute file, `failure` says why
        NotStarted,  // the output could not be begun (told)
        WriteFailed  // `failure` is the first failure told, if one was
    };
    End end = End::NotStarted;
    std::string rawPath;
    std::string failure;
    std::size_t records = 0;  // written, or that would have been
    LineCounts lines;
    long long overflows = 0;
};

// Runs `job` into `output`, opened staged by the caller, and commits it when all went well.
RawExportResult ExportRawFiles(const RawExportJob& job, OutputFile& output, RawExportWatch watch);

// The operator's text for a run that ended in a failure of a file, "" for any other end.
std::string RawExportFailureText(const RawExportResult& result, const std::string& outputPath);

}  // namespace kivo
