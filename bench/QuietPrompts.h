#pragma once

#include <optional>
#include <string>

#include "core/seams/View.h"

// Benchmarks answer nothing and show nothing; they count what the program would have shown.
class QuietPrompts final : public kivo::Prompts {
public:
    int shown = 0;
    std::string openAnswer = KIVO_TEST_DATA "/scatter9.dev";  // the device file to load

    void ShowWarning(const std::string&, const std::string&) override { ++shown; }
    void ShowMessage(const std::string&, const std::string&) override { ++shown; }
    std::optional<std::string> OpenFileName(const kivo::FileDialogSpec&) override {
        return openAnswer;
    }
    std::optional<std::string> SaveFileName(const kivo::FileDialogSpec&) override { return {}; }
};
