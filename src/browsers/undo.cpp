#include "browsers/undo.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>

#include "archive/zlib_multiple.h"
#include "core/core.h"
#include "core/database_copy.h"
#include "core/error.h"
#include "core/registry.h"
#include "core/staging.h"
#include "core/temp_names.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers::undo {

namespace {

constexpr const char* kManifestName = "manifest.txt";
constexpr const char* kArchiveName = "replaced.dat";
constexpr const char* kManifestHeader = "kelvora-undo 1";
constexpr const char* kEmptySource = "empty";

std::string undoRoot(bool create) {
    const std::string data = platform::dataFolder(create);
    if (data.empty())
        return {};
    const std::string root = joinPath(data, "undo");
    if (create && !platform::createDirectories(root))
        return {};
    return root;
}

// Manifest fields are separated by tabs and entries by line ends: those two and "%" are escaped.
std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(
            unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos)
            return out;
        start = tab + 1;
    }
}

std::string line(std::initializer_list<std::string> parts) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty())
            out += '\t';
        out += escape(part);
    }
    return out + "\n";
}

// A set's folder name: the time it was made, in UTC, so that names sort by age.
std::string timeName() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{floor<milliseconds>(now - day)};
    char name[40];
    std::snprintf(name, sizeof name, "%04d%02u%02u-%02d%02d%02d-%03d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return name;
}

std::string readText(const std::string& path) {
    platform::File file = platform::File::openRead(path);
    std::string text;
    char buffer[16384];
    while (const std::size_t n = file.read(buffer, sizeof buffer))
        text.append(buffer, n);
    return text;
}

// Writes `text` as the file `path`, beside it first and renamed over it when complete.
void writeTextFile(const std::string& path, const std::string& text) {
    const std::string temporary = TemporarySibling(path);
    try {
        platform::File file = platform::File::create(temporary, platform::Access::OwnerOnly);
        file.write(text.data(), text.size());
        file.flush();
        file.close();
    } catch (const platform::SystemError& e) {
        platform::removeFile(temporary);
        throw Error(Format("Cannot create file \"%s\". %s", temporary.c_str(), e.what()));
    }
    std::string reason;
    if (!platform::replaceFile(temporary, path, &reason)) {
        platform::removeFile(temporary);
        throw Error(Format("Cannot create file \"%s\". %s", path.c_str(), reason.c_str()));
    }
}

// The machine the paths of a set belong to (POSIX: they are the machine's "C:\..." paths).
std::string machineLines() {
    if (!platform::usesMachineFolder())
        return {};
    const platform::MachineOptions machine = platform::currentMachine();
    std::string out = line({"machine", machine.root, machine.user, machine.windowsVersion});
    for (const auto& [letter, folder] : machine.drives)
        out += line({"drive", std::string(1, letter), folder});
    return out;
}

// For as long as it lives, the machine a set was made on is the one in use.
class MachineOfSet {
  public:
    explicit MachineOfSet(const std::optional<platform::MachineOptions>& machine) {
        if (!machine || !platform::usesMachineFolder())
            return;
        previous_ = platform::currentMachine();
        platform::setMachine(*machine);
    }
    ~MachineOfSet() {
        if (previous_)
            platform::setMachine(*previous_);
    }
    MachineOfSet(const MachineOfSet&) = delete;
    MachineOfSet& operator=(const MachineOfSet&) = delete;

  private:
    std::optional<platform::MachineOptions> previous_;
};

struct Manifest {
    std::string description;
    std::optional<platform::MachineOptions> machine;
    struct Replaced {
        std::string record;  // empty for a file that was empty
        std::string path;
    };
    std::vector<Replaced> replaced;
    std::vector<std::string> created;
    std::vector<std::string> createdFolders;
    struct Key {
        std::string hive;  // empty: the key did not exist
        std::string key;
    };
    std::vector<Key> keys;
};

std::optional<Manifest> readManifest(const std::string& folder) {
    std::string text;
    try {
        text = readText(joinPath(folder, kManifestName));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    std::istringstream lines(text);
    std::string entry;
    if (!std::getline(lines, entry) || entry != kManifestHeader)
        return std::nullopt;
    Manifest manifest;
    while (std::getline(lines, entry)) {
        const auto f = fields(entry);
        const std::string& kind = f[0];
        if (kind == "task" && f.size() >= 2) {
            manifest.description = f[1];
        } else if (kind == "machine" && f.size() >= 4) {
            manifest.machine = platform::MachineOptions{f[1], f[2], f[3], {}};
        } else if (kind == "drive" && f.size() >= 3 && manifest.machine && f[1].size() == 1) {
            manifest.machine->drives.emplace_back(f[1][0], f[2]);
        } else if (kind == "replaced" && f.size() >= 3) {
            manifest.replaced.push_back({f[1], f[2]});
        } else if (kind == "empty" && f.size() >= 2) {
            manifest.replaced.push_back({"", f[1]});
        } else if (kind == "created" && f.size() >= 2) {
            manifest.created.push_back(f[1]);
        } else if (kind == "folder" && f.size() >= 2) {
            manifest.createdFolders.push_back(f[1]);
        } else if (kind == "key" && f.size() >= 3) {
            manifest.keys.push_back({f[1], f[2]});
        } else if (kind == "newkey" && f.size() >= 2) {
            manifest.keys.push_back({"", f[1]});
        }
    }
    return manifest;
}

std::uint64_t folderBytes(const std::string& folder) {
    std::uint64_t total = 0;
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, true, entries))
        return 0;
    for (const auto& entry : entries) {
        if (entry.isLink)
            continue;
        total += entry.isDirectory ? folderBytes(joinPath(folder, entry.name)) : entry.size;
    }
    return total;
}

// The set folders, oldest first: complete ones (with a manifest) and unfinished ones.
std::vector<std::string> setFolders(const std::string& root) {
    std::vector<std::string> names;
    std::vector<platform::DirEntry> entries;
    if (root.empty() || !platform::listDirectory(root, true, entries))
        return names;
    for (const auto& entry : entries) {
        if (entry.isDirectory && !entry.isLink && !IsTemporaryFolderName(entry.name))
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Keeps the last kKeptSets complete sets; removes older ones and what killed runs left unfinished.
void prune(const std::string& root) {
    std::vector<std::string> complete;
    for (const auto& name : setFolders(root)) {
        const std::string folder = joinPath(root, name);
        if (platform::fileExists(joinPath(folder, kManifestName)))
            complete.push_back(folder);
        else
            platform::removeIfUnused(folder, true);
    }
    while (complete.size() > kKeptSets) {
        platform::removeTreeOutright(complete.front());
        complete.erase(complete.begin());
    }
}

void addMissingFolders(const std::string& file, std::set<std::string>& folders) {
    for (std::string folder = parentFolder(file); !folder.empty(); folder = parentFolder(folder)) {
        if (platform::entryKind(folder) != platform::EntryKind::Missing)
            return;
        folders.insert(withoutTrailingSeparator(folder));
    }
}

std::string countText(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A folder is removed only when it is empty: what else came into it since is not Kelvora's.
bool removeEmptyFolder(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (platform::entryKind(folder) != platform::EntryKind::Folder ||
        !platform::listDirectory(folder, true, entries) || !entries.empty())
        return false;
    return platform::removeTreeOutright(folder);
}

}  // namespace

void Plan::addTree(const std::string& from, const std::string& to) {
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(from, true, entries))
        return;
    for (const auto& entry : entries) {
        if (entry.isLink)
            continue;
        const std::string source = joinPath(from, entry.name);
        const std::string target = joinPath(to, entry.name);
        if (entry.isDirectory)
            addTree(source, target);
        else
            files.push_back(target);
    }
}

void saveBeforeRestore(const Plan& plan) {
    const std::string root = undoRoot(true);
    if (root.empty())
        throw Error("Kelvora's data folder for the undo of this restore could not be made.");

    const std::set<std::string> written(plan.files.begin(), plan.files.end());
    std::set<std::string> seen;
    std::vector<TZlibMultiple::FileToPack> toPack;
    std::string entries;
    std::vector<std::string> movedAway;
    std::set<std::string> createdFolders;
    const auto save = [&](const std::string& path) {
        const auto size = platform::fileSize(path);
        if (size && *size == 0) {
            entries += line({"empty", path});
            return;
        }
        char record[32];
        std::snprintf(record, sizeof record, "files\\%06zu", toPack.size() + 1);
        toPack.push_back({path, record});
        entries += line({"replaced", record, path});
    };
    for (const auto& file : plan.files) {
        if (!seen.insert(file).second)
            continue;
        switch (platform::entryKind(file)) {
            case platform::EntryKind::File:
                save(file);
                for (const char* suffix : kDatabaseCompanions) {
                    const std::string companion = file + suffix;
                    // An empty one holds nothing to replay (SQLite leaves empty journals behind).
                    if (written.count(companion) ||
                        platform::entryKind(companion) != platform::EntryKind::File ||
                        platform::fileSize(companion).value_or(0) == 0 || !seen.insert(companion).second)
                        continue;
                    save(companion);
                    movedAway.push_back(companion);
                }
                break;
            case platform::EntryKind::Missing:
                entries += line({"created", file});
                addMissingFolders(file, createdFolders);
                break;
            default:
                break;  // a folder, link or device in the way: the restore leaves it as it is
        }
    }
    for (const auto& created : createdFolders)
        entries += line({"folder", created});

    // A restore that will change nothing leaves no set.
    if (entries.empty() && plan.registryKeys.empty())
        return;

    std::string folder = joinPath(root, timeName());
    platform::HeldFolder held;
    for (int attempt = 1;; ++attempt) {
        try {
            held = platform::HeldFolder::createNew(folder, platform::Access::OwnerOnly);
            break;
        } catch (const platform::SystemError& e) {
            if (!platform::alreadyExists(e) || attempt > 20)
                throw Error(Format("Cannot create folder \"%s\". %s", folder.c_str(), e.what()));
            folder = joinPath(root, timeName() + "-" + std::to_string(attempt));
        }
    }
    // Until its manifest is written the set is unfinished; a failure removes it.
    struct Unfinished {
        platform::HeldFolder& held;
        bool done = false;
        ~Unfinished() {
            if (!done)
                held.removeTree();
        }
    } unfinished{held};

    TZlibMultiple archive;
    archive.CompressionLevel = 1;
    archive.CompressFiles(toPack, joinPath(folder, kArchiveName));
    if (!archive.LeftOut.empty()) {
        const auto& first = archive.LeftOut.front();
        throw Error(
            Format("\"%s\" could not be saved for the undo of this restore: %s. Nothing was restored.",
                   first.path.c_str(), first.reason.c_str()));
    }

    for (std::size_t i = 0; i < plan.registryKeys.size(); ++i) {
        const std::string& key = plan.registryKeys[i];
        const std::string hive = "key" + std::to_string(i + 1) + ".hiv";
        const std::string reason = SaveKeyToFile(key, joinPath(folder, hive));
        if (!reason.empty())
            throw Error(
                Format("The registry key \"HKEY_CURRENT_USER\\%s\" could not be saved for the undo of "
                       "this restore: %s. Nothing was restored.",
                       key.c_str(), reason.c_str()));
        entries +=
            platform::fileExists(joinPath(folder, hive)) ? line({"key", hive, key}) : line({"newkey", key});
    }

    writeTextFile(
        joinPath(folder, kManifestName),
        std::string(kManifestHeader) + "\n" + line({"task", plan.description}) + machineLines() + entries);
    unfinished.done = true;
    held.release();

    for (const auto& companion : movedAway) {
        if (!platform::removeFile(companion))
            throw Error(
                Format("The stale database file \"%s\" could not be moved out of the way. Nothing was "
                       "restored; \"Undo last restore\" puts back what was moved.",
                       companion.c_str()));
    }
    prune(root);
}

std::vector<SetInfo> listSets() {
    std::vector<SetInfo> sets;
    const std::string root = undoRoot(false);
    const auto names = setFolders(root);
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        const std::string folder = joinPath(root, *name);
        const auto manifest = readManifest(folder);
        if (!manifest)
            continue;
        SetInfo info;
        info.folder = folder;
        info.description = manifest->description;
        info.made = platform::modifiedTimeText(joinPath(folder, kManifestName)).value_or("");
        info.replaced = manifest->replaced.size();
        info.created = manifest->created.size();
        info.keys = manifest->keys.size();
        info.bytes = folderBytes(folder);
        sets.push_back(std::move(info));
    }
    return sets;
}

std::string sizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 1023) / 1024));
    else
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    return text;
}

std::string describe(const SetInfo& set) {
    std::string text = set.made + "  " + set.description + ": " +
                       countText(set.replaced, "file replaced", "files replaced") + ", " +
                       countText(set.created, "created", "created");
    if (set.keys != 0)
        text += ", " + countText(set.keys, "registry key", "registry keys");
    return text + " (" + sizeText(set.bytes) + ")";
}

TaskResult undoLast() {
    const auto sets = listSets();
    if (sets.empty())
        return TaskResult::nothingDone("There is no restore to undo.");
    const SetInfo& set = sets.front();
    const auto manifest = readManifest(set.folder);
    if (!manifest)
        return TaskResult::failed(Format("The undo set \"%s\" could not be read.", set.folder.c_str()));

    TaskResult result;
    MachineOfSet machine(manifest->machine);

    for (const auto& created : manifest->created) {
        switch (platform::entryKind(created)) {
            case platform::EntryKind::Missing:
                break;
            case platform::EntryKind::File:
                if (!platform::removeFile(created))
                    result.leaveOut("", created, "the file the restore created could not be removed");
                break;
            default:
                result.leaveOut("", created,
                                "something other than the file the restore created is there now");
                break;
        }
    }

    StagingFolder staging = StagingFolder::create(set.folder);
    {
        TZlibMultiple archive;
        archive.DecompressFile(joinPath(set.folder, kArchiveName), staging.path(), true, true);
        for (const auto& item : archive.LeftOut)
            result.leaveOut("", item.path, item.reason);
    }
    const std::string empty = joinPath(staging.path(), kEmptySource);
    platform::File::create(empty, platform::Access::OwnerOnly).close();
    for (const auto& replaced : manifest->replaced) {
        const std::string source =
            replaced.record.empty() ? empty : joinPath(staging.path(), replaced.record);
        const std::string parent = parentFolder(replaced.path);
        std::string reason;
        if (!parent.empty() && !DirectoryExists(parent) && !ForceDirectories(parent))
            reason = "its folder could not be made again";
        else if (!platform::fileExists(source))
            reason = "the undo set does not hold it";
        else if (CopyOneFile(source, replaced.path, &reason))
            continue;
        result.leaveOut("", replaced.path, reason.empty() ? "it could not be put back" : reason);
    }
    staging.remove();

    // Deepest first, so that a folder's emptied subfolders go before it.
    auto folders = manifest->createdFolders;
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const auto& folder : folders)
        removeEmptyFolder(folder);

    for (const auto& key : manifest->keys) {
        if (key.hive.empty()) {
            if (!platform::deleteRegistryTree(key.key))
                result.leaveOut("", "HKEY_CURRENT_USER\\" + key.key,
                                "the key the restore created could not be removed");
            continue;
        }
        const std::string message = LoadKeyFromFile(key.key, joinPath(set.folder, key.hive));
        if (!message.empty())
            result.leaveOut("", "HKEY_CURRENT_USER\\" + key.key, message);
    }

    if (result.leftOut.empty()) {
        std::string reason;
        if (!platform::removeTreeOutright(set.folder, &reason))
            result.leaveOut("", set.folder, "the undo set could not be removed: " + reason);
    }
    return result;
}

}  // namespace kelvora::browsers::undo
