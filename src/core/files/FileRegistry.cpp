#include "core/files/FileRegistry.h"

#include <algorithm>

namespace kivo {

FileRegistry::Registration& FileRegistry::Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        Reset();
        shared_ = std::move(other.shared_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

void FileRegistry::Registration::Reset() {
    if (id_ == 0) return;
    if (const std::shared_ptr<Shared> shared = shared_.lock()) {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        auto& entries = shared->entries;
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [this](const Entry& entry) { return entry.id == id_; }),
                      entries.end());
    }
    id_ = 0;
    shared_.reset();
}

FileRegistry::Registration FileRegistry::Register(const std::string& path, FileRole role) {
    return Register(path, IdentityOf(path), role);
}

FileRegistry::Registration FileRegistry::Register(const std::string& path,
                                                  const FileIdentity& identity, FileRole role) {
    if (path.empty()) return {};
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    const std::uint64_t id = shared_->nextId++;
    shared_->entries.push_back(Entry{id, path, identity, role});
    return Registration(shared_, id);
}

std::optional<FileRole> FileRegistry::Holder(const FileIdentity& target,
                                             const Registration* except) const {
    const std::uint64_t skipped = except ? except->id_ : 0;
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    for (const Entry& entry : shared_->entries) {
        if (entry.id == skipped) continue;
        if (SameFile(target, entry.identity) || SameFile(target, IdentityOf(entry.path)))
            return entry.role;
    }
    return std::nullopt;
}

std::string SameFileRefusal(FileRole writing, const std::string& path, FileRole holder) {
    return "Cannot write " + std::string(writing.writing) + " to \"" + path + "\": it is " +
           holder.holding + ".";
}

}  // namespace kivo
