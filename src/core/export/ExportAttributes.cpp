#include "core/export/ExportAttributes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "core/export/ExportFacts.h"
#include "core/files/RegularFile.h"

namespace kivo {

namespace {

std::string Trimmed(const std::string& text) {
    const std::string::size_type first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const std::string::size_type last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool IsAttributeName(const std::string& name) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.empty() || !letter(name[0])) return false;
    return std::all_of(name.begin(), name.end(),
                       [&](char c) { return letter(c) || digit(c) || c == '_'; });
}

}  // namespace

std::optional<std::string> AddAttribute(Attributes& attributes, const std::string& name,
                                        const std::string& value) {
    if (!IsAttributeName(name))
        return "'" + name + "' is no attribute name (a letter, then letters, digits and _)";
    if (IsProgramFact(name)) return "'" + name + "' is written by the program itself";
    if (value.find_first_of("\r\n") != std::string::npos)
        return "the value of '" + name + "' has more than one line";
    const auto same = std::find_if(attributes.begin(), attributes.end(),
                                   [&name](const auto& kept) { return kept.first == name; });
    if (same != attributes.end()) {
        same->second = value;
    } else {
        attributes.emplace_back(name, value);
    }
    return std::nullopt;
}

std::optional<std::string> AddAttribute(Attributes& attributes, const std::string& assignment) {
    const std::string::size_type equals = assignment.find('=');
    if (equals == std::string::npos) return "'" + assignment + "' is not KEY=VALUE";
    return AddAttribute(attributes, Trimmed(assignment.substr(0, equals)),
                        Trimmed(assignment.substr(equals + 1)));
}

std::optional<std::string> ReadAttributeLines(std::istream& in, Attributes& attributes) {
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::string text = Trimmed(line);
        if (text.empty() || text[0] == '#' || text[0] == ';') continue;
        if (const std::optional<std::string> why = AddAttribute(attributes, text))
            return "line " + std::to_string(number) + ": " + *why;
    }
    if (in.bad()) return "reading failed after line " + std::to_string(number);
    return std::nullopt;
}

std::optional<std::string> ReadAttributeFile(const std::string& path, Attributes& attributes,
                                             bool missingIsEmpty) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (missingIsEmpty && errno == ENOENT) return std::nullopt;
        return "cannot read '" + path + "': " + std::strerror(errno);
    }
    // A FIFO would hold the export, a device would never end.
    if (!IsRegularFile(path)) return "'" + path + "' is not a regular file";
    std::ifstream in(path);
    if (!in) return "cannot read '" + path + "'";
    if (const std::optional<std::string> why = ReadAttributeLines(in, attributes))
        return "'" + path + "' " + *why;
    return std::nullopt;
}

}  // namespace kivo
