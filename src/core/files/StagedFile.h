#pragma once

#include <string>

namespace kivo {

// A file is written under a hidden name beside its place and renamed into it only when
// complete, so that a cancelled or failed export leaves no half file under the name asked for.

// A new, empty file ".NAME.XXXXXX" beside `path` that no other file has; empty when none
// could be made.
std::string TemporaryBeside(const std::string& path);

// Gives `temporary` the permissions a plainly created file gets and renames it to `path`;
// on failure removes it and returns false.
bool PutInPlace(const std::string& temporary, const std::string& path);

}  // namespace kivo
