#pragma once

#include <istream>
#include <optional>
#include <string>

#include "core/export/Exporter.h"

namespace kivo {

// The window's extra attributes for its exports, kept beside last.rbs in the working folder
// (kivo-convert reads the same lines with --attrs FILE).
inline constexpr const char* kMetadataFileName = "kivoview-metadata.ini";

// Adds one attribute the operator gave (institution, project, cruise, station, license ...),
// replacing an earlier value of the name. The reason it is refused otherwise: a name that is
// not a NetCDF attribute name (a letter, then letters, digits and underscores), one the
// program states itself (history, device_file_sha256 ...), or a value of more than one line.
std::optional<std::string> AddAttribute(Attributes& attributes, const std::string& name,
                                        const std::string& value);
// "KEY=VALUE", as --attr takes it (blanks around either side dropped).
std::optional<std::string> AddAttribute(Attributes& attributes, const std::string& assignment);

// Lines "key = value"; blank lines and lines beginning with "#" or ";" are skipped. The
// first line that is none of these is refused, with its number and the reason.
std::optional<std::string> ReadAttributeLines(std::istream& in, Attributes& attributes);
// The same from a file. A file that is not there is an error unless `missingIsEmpty` (the
// window's metadata file is there only when the operator made one).
std::optional<std::string> ReadAttributeFile(const std::string& path, Attributes& attributes,
                                             bool missingIsEmpty);

}  // namespace kivo
