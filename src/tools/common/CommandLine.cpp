#include "tools/common/CommandLine.h"

namespace kivo {

std::string CommandLineText(int argc, char** argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!text.empty()) text += ' ';
        if (!argument.empty() && argument.find_first_of(" \t'\"\\$`") == std::string::npos) {
            text += argument;
            continue;
        }
        text += '\'';
        for (const char c : argument) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        text += '\'';
    }
    return text;
}

}  // namespace kivo
