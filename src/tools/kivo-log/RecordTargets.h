#pragma once

#include <optional>
#include <string>

#include "tools/kivo-log/LogOptions.h"

namespace kivo {

// The checks on the record files before anything is opened. Each gives the reason for
// refusing, or nothing when the files may be used as the options ask.

// One file given as two record files, or a record file that is the device file or the port.
std::optional<std::string> RefuseSharedTargets(const LogOptions& options,
                                               const std::string& portPath);

// A record file that is already there and not empty, without --append or --overwrite: a
// service manager restarting the same command line must not wipe the earlier recording.
std::optional<std::string> RefuseExistingTarget(const std::string& path, const LogOptions& options);

// A record file to append to whose heading line is not `heading`: its records would not
// fit their heading. `kind` names the file in the reason ("engineering-units file").
std::optional<std::string> RefuseForeignHeading(const std::string& path, const std::string& heading,
                                                const std::string& kind);

// A CSV file to append to whose heading line (its first line after the "#" header) is not
// `heading`: the records would not fit its columns.
std::optional<std::string> RefuseOtherCsvColumns(const std::string& path,
                                                 const std::string& heading);

}  // namespace kivo
