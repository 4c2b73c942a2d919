// What the browsers' own profile lists say: Firefox's and Flock's profiles.ini, and the
// "Local State" file of a Chromium browser's data folder. Both are read as text; nothing here
// touches a file.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kelvora::browsers {

struct IniProfile {
    std::string path;            // as written: "Profiles/abcd1234.default", or an absolute path
    bool isRelative = true;      // IsRelative=1 (the default): relative to the profiles.ini folder
    bool markedDefault = false;  // Default=1
};

struct ProfilesIni {
    std::vector<IniProfile> profiles;  // the [Profile...] sections in file order
    // The profile an [Install...] section's Default= names: what today's Firefox starts with.
    std::string installDefault;
};

ProfilesIni parseProfilesIni(const std::string& text);

// The display names of a Chromium "Local State" file: profile folder name -> the name the browser
// shows ("Default" -> "Person 1"), from profile.info_cache. Empty for text that is not such a file.
std::map<std::string, std::string> chromiumProfileNames(const std::string& localState);

}  // namespace kelvora::browsers
