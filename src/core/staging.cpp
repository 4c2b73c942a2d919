#include "core/staging.h"

#include <utility>

#include "core/error.h"
#include "core/temp_names.h"

namespace kelvora {

StagingFolder::StagingFolder(StagingFolder&& other) noexcept
    : path_(std::exchange(other.path_, std::string())), held_(std::move(other.held_)) {}

StagingFolder& StagingFolder::operator=(StagingFolder&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, std::string());
        held_ = std::move(other.held_);
    }
    return *this;
}

StagingFolder::~StagingFolder() {
    remove();
}

StagingFolder StagingFolder::create(const std::string& parent) {
    // A random name is taken only by chance (or by a leftover); a few tries find a free one. Any
    // other failure is the parent's and is reported at once.
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        StagingFolder folder;
        const std::string path = TemporaryFolderIn(parent);
        try {
            folder.held_ = platform::HeldFolder::createNew(path, platform::Access::OwnerOnly);
        } catch (const platform::SystemError& error) {
            if (platform::alreadyExists(error) && attempt + 1 < kAttempts)
                continue;
            throw Error(
                Format("Could not create a temporary folder in \"%s\": %s", parent.c_str(), error.what()));
        }
        folder.path_ = path;
        return folder;
    }
    throw Error(Format("Could not create a temporary folder in \"%s\"", parent.c_str()));
}

bool StagingFolder::remove(std::string* reason) {
    if (path_.empty())
        return true;
    std::string why;
    const bool removed = held_.isHeld() ? held_.removeTree(&why) : platform::removeTreeOutright(path_, &why);
    if (!removed) {
        if (reason)
            *reason = why;
        return false;
    }
    path_.clear();
    return true;
}

}  // namespace kelvora
