#pragma once

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kivo {

// Switches the process to a locale with a decimal comma for the life of the object, as a
// desktop in Germany or France would; compiles one in a temporary folder when none is
// installed. The window takes on the desktop's locale, and a decimal comma must never change
// how numbers are read or written.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (Use(name)) return;
        }
        // None installed: compile one of our own, if the tools are there.
        directory_ = std::filesystem::temp_directory_path() /
                     ("kivo-locale-" + std::to_string(static_cast<long>(getpid())));
        std::filesystem::create_directories(directory_);
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + directory_.string() + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1) return;
        setenv("LOCPATH", directory_.c_str(), 1);
        Use("de_DE.UTF-8");
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, "C");
        if (!directory_.empty()) {
            unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(directory_, ignored);
        }
    }
    bool active() const { return active_; }

private:
    bool Use(const char* name) {
        active_ = std::setlocale(LC_ALL, name) != nullptr &&
                  std::string(std::localeconv()->decimal_point) == ",";
        return active_;
    }
    std::filesystem::path directory_;
    bool active_ = false;
};

}  // namespace kivo
