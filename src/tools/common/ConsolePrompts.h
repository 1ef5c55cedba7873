#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/seams/Prompts.h"

namespace kivo {

// The operator's messages for the command-line tools: one line each on standard error,
// "program: caption: text". No dialog can be answered, so file dialogs are cancelled.
class ConsolePrompts final : public Prompts {
public:
    explicit ConsolePrompts(std::string program, bool withTime = false)
        : program_(std::move(program)), withTime_(withTime) {}

    void ShowWarning(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
    std::optional<std::string> OpenFileName(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileDialogSpec&) override { return {}; }

    int Count() const { return count_; }
    bool Saw(const std::string& caption) const { return captions_.count(caption) > 0; }

private:
    std::set<std::string> captions_;
    std::string program_;
    bool withTime_;
    int count_ = 0;
};

}  // namespace kivo
