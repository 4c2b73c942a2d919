// Kelvora's private staging and extraction folders. Each is a new folder of its own
// ("~kelvora-<random hex>" in the parent given), never an existing one, readable by its owner only.
// It holds copies of passwords and cookies, so it is removed outright (never to the trash) when the
// object ends. While the object lives the folder is held in use, so that a cleanup of leftovers by
// another Kelvora process leaves it alone.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kelvora {

class StagingFolder {
  public:
    StagingFolder() = default;
    StagingFolder(StagingFolder&&) noexcept;
    StagingFolder& operator=(StagingFolder&&) noexcept;
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder();  // removes the folder; a failure is not reported (use remove() to know)

    // Makes a new folder in `parent` (Windows-form or native). Throws kelvora::Error naming the
    // parent and the system's reason when it can't.
    static StagingFolder create(const std::string& parent);

    // The folder, as TemporaryFolderIn named it; empty once removed.
    const std::string& path() const { return path_; }

    // Removes the folder with everything below it outright, following no link inside. False with
    // the reason (the path that stayed and the system's text) when something could not be removed.
    bool remove(std::string* reason = nullptr);

  private:
    std::string path_;
    platform::HeldFolder held_;
};

}  // namespace kelvora
