#include "tools/common/ConsolePrompts.h"

#include <cstdio>
#include <ctime>

namespace kivo {

void ConsolePrompts::ShowWarning(const std::string& caption, const std::string& text) {
    ++count_;
    captions_.insert(caption);
    std::string oneLine = text;
    for (char& c : oneLine) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    char stamp[32] = "";
    if (withTime_) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    }
    std::fprintf(stderr, "%s: %s%s: %s\n", program_.c_str(), stamp, caption.c_str(),
                 oneLine.c_str());
    std::fflush(stderr);
}

void ConsolePrompts::ShowMessage(const std::string& caption, const std::string& text) {
    ShowWarning(caption, text);
}

}  // namespace kivo
