// The current user's registry on POSIX: the machine user's NTUSER.DAT, read and written with hivex.
// Saved keys become new hive files in Windows' own format; loads rewrite NTUSER.DAT through a
// temporary file that replaces it in one step, so a failure leaves it as it was.
#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/platform.h"
#include "platform/posix/posix_util.h"

namespace kelvora::platform {

namespace {

std::mutex registry_mutex;

struct HiveCloser {
    void operator()(hive_h* h) const { hivex_close(h); }
};
using Hive = std::unique_ptr<hive_h, HiveCloser>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

// ---- An empty hive ----------------------------------------------------------------------------
// hivex edits existing hives only, so a new one starts from the smallest hive Windows accepts: a
// base block and one bin holding the root key, its security descriptor and a free cell.

constexpr std::size_t kBlock = 4096;

void put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put64(std::string& b, std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
std::uint32_t get32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

std::uint64_t fileTimeNow() {
    using namespace std::chrono;
    const auto since_1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<std::uint64_t>(since_1970 / 100) + 116444736000000000ULL;
}

// A SID in its binary form: revision 1, authority 5 (NT AUTHORITY) unless given.
std::string sid(std::initializer_list<std::uint32_t> subAuthorities, std::uint8_t authority = 5) {
    std::string s(8 + 4 * subAuthorities.size(), '\0');
    s[0] = 1;
    s[1] = static_cast<char>(subAuthorities.size());
    s[7] = static_cast<char>(authority);
    std::size_t at = 8;
    for (std::uint32_t sub : subAuthorities) {
        put32(s, at, sub);
        at += 4;
    }
    return s;
}

// The self-relative security descriptor of every key of a new hive: full control for the
// system, the administrators and the interactive user, reading for restricted code, inherited
// by subkeys. Owner: administrators; group: system.
std::string securityDescriptor() {
    constexpr std::uint32_t kKeyAllAccess = 0xF003F;
    constexpr std::uint32_t kKeyRead = 0x20019;
    const std::string system = sid({18});
    const std::string admins = sid({32, 544});
    const std::array<std::pair<std::uint32_t, std::string>, 4> aces{{
        {kKeyAllAccess, system},
        {kKeyAllAccess, admins},
        {kKeyAllAccess, sid({4})},
        {kKeyRead, sid({12})},
    }};
    std::string acl(8, '\0');
    for (const auto& [mask, who] : aces) {
        std::string ace(8, '\0');
        ace[0] = 0;  // access allowed
        ace[1] = 3;  // object and container inherit
        put16(ace, 2, static_cast<std::uint16_t>(8 + who.size()));
        put32(ace, 4, mask);
        acl += ace + who;
    }
    acl[0] = 2;
    put16(acl, 2, static_cast<std::uint16_t>(acl.size()));
    put16(acl, 4, static_cast<std::uint16_t>(aces.size()));

    std::string sd(20, '\0');
    sd[0] = 1;
    put16(sd, 2, 0x8004);  // self-relative, DACL present
    const std::size_t owner_at = sd.size();
    const std::size_t group_at = owner_at + admins.size();
    const std::size_t dacl_at = group_at + system.size();
    put32(sd, 4, static_cast<std::uint32_t>(owner_at));
    put32(sd, 8, static_cast<std::uint32_t>(group_at));
    put32(sd, 16, static_cast<std::uint32_t>(dacl_at));
    return sd + admins + system + acl;
}

std::size_t align8(std::size_t n) {
    return (n + 7) & ~std::size_t{7};
}

// An 8 KiB hive, format 1.3, whose root key is called `rootName` (ASCII) and holds nothing.
std::string emptyHive(std::string_view rootName) {
    std::string name(rootName);
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            name.clear();
    }
    if (name.empty() || name.size() > 255)
        name = "$$$PROTO.HIV";
    const std::uint64_t now = fileTimeNow();
    std::string hive(2 * kBlock, '\0');

    // Base block.
    hive.replace(0, 4, "regf");
    put32(hive, 0x04, 1);  // sequence numbers, equal: the hive is consistent
    put32(hive, 0x08, 1);
    put64(hive, 0x0C, now);
    put32(hive, 0x14, 1);  // format 1.3
    put32(hive, 0x18, 3);
    put32(hive, 0x1C, 0);  // primary file
    put32(hive, 0x20, 1);  // direct memory load
    constexpr std::uint32_t root_offset = 0x20;
    put32(hive, 0x24, root_offset);
    put32(hive, 0x28, kBlock);  // size of the bins
    put32(hive, 0x2C, 1);

    // The bin.
    const std::size_t bin = kBlock;
    hive.replace(bin, 4, "hbin");
    put32(hive, bin + 0x04, 0);
    put32(hive, bin + 0x08, kBlock);
    put64(hive, bin + 0x14, now);

    // Root key cell.
    const std::size_t nk = bin + root_offset;
    const std::size_t nk_size = align8(0x50 + name.size());
    const std::uint32_t sk_offset = static_cast<std::uint32_t>(root_offset + nk_size);
    put32(hive, nk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nk_size)));
    hive.replace(nk + 0x04, 2, "nk");
    put16(hive, nk + 0x06, 0x2C);  // hive entry, no delete, compressed name
    put64(hive, nk + 0x08, now);
    put32(hive, nk + 0x14, 0xFFFFFFFF);  // no parent
    put32(hive, nk + 0x20, 0xFFFFFFFF);  // no subkey list
    put32(hive, nk + 0x24, 0xFFFFFFFF);
    put32(hive, nk + 0x2C, 0xFFFFFFFF);  // no value list
    put32(hive, nk + 0x30, sk_offset);
    put32(hive, nk + 0x34, 0xFFFFFFFF);  // no class name
    put16(hive, nk + 0x4C, static_cast<std::uint16_t>(name.size()));
    hive.replace(nk + 0x50, name.size(), name);

    // Its security cell, the only one, so it links to itself.
    const std::string sd = securityDescriptor();
    const std::size_t sk = bin + sk_offset;
    const std::size_t sk_size = align8(0x18 + sd.size());
    put32(hive, sk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(sk_size)));
    hive.replace(sk + 0x04, 2, "sk");
    put32(hive, sk + 0x08, sk_offset);
    put32(hive, sk + 0x0C, sk_offset);
    put32(hive, sk + 0x10, 1);  // referenced by the root
    put32(hive, sk + 0x14, static_cast<std::uint32_t>(sd.size()));
    hive.replace(sk + 0x18, sd.size(), sd);

    // The rest of the bin is one free cell.
    const std::size_t free_at = sk + sk_size;
    put32(hive, free_at, static_cast<std::uint32_t>(bin + kBlock - free_at));

    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 0x1FC; at += 4)
        sum ^= get32(hive, at);
    if (sum == 0xFFFFFFFF)
        sum = 0xFFFFFFFE;
    else if (sum == 0)
        sum = 1;
    put32(hive, 0x1FC, sum);
    return hive;
}

// ---- Paths and files --------------------------------------------------------------------------

std::string ntuserPath() {
    const MachineOptions m = currentMachine();
    if (m.root.empty() || m.user.empty())
        return {};
    const std::string profiles =
        usersLayout(m.windowsVersion) ? "C:\\Users\\" : "C:\\Documents and Settings\\";
    return nativePath(profiles + m.user + "\\NTUSER.DAT").string();
}

std::vector<std::string> keyParts(std::string_view key) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= key.size()) {
        std::size_t end = key.find('\\', pos);
        if (end == std::string_view::npos)
            end = key.size();
        if (end > pos)
            parts.emplace_back(key.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

// A new, empty file beside `target` whose name no one else uses.
std::string reserveTemporary(const std::string& target, int& error) {
    std::string pattern = target + ".kelvora-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = errno;
        return {};
    }
    ::close(fd);
    return pattern;
}

int writeWhole(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return errno;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            return e;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 ? 0 : errno;
}

int syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// ---- Trees ------------------------------------------------------------------------------------

hive_node_h findKey(hive_h* h, std::string_view key) {
    hive_node_h node = hivex_root(h);
    for (const std::string& part : keyParts(key)) {
        if (!node)
            return 0;
        node = hivex_node_get_child(h, node, part.c_str());
    }
    return node;
}

hive_node_h createKey(hive_h* h, std::string_view key) {
    hive_node_h node = hivex_root(h);
    for (const std::string& part : keyParts(key)) {
        if (!node)
            return 0;
        const hive_node_h child = hivex_node_get_child(h, node, part.c_str());
        node = child ? child : hivex_node_add_child(h, node, part.c_str());
    }
    return node;
}

bool readTree(hive_h* h, hive_node_h node, RegistryTree& out) {
    Malloced<char> name(hivex_node_name(h, node));
    if (!name)
        return false;
    out.name = name.get();
    Malloced<hive_value_h> values(hivex_node_values(h, node));
    if (!values)
        return false;
    for (const hive_value_h* v = values.get(); *v; ++v) {
        Malloced<char> value_name(hivex_value_key(h, *v));
        hive_type type{};
        std::size_t len = 0;
        Malloced<char> data(hivex_value_value(h, *v, &type, &len));
        if (!value_name || (!data && len > 0))
            return false;
        out.values.push_back(RegistryValue{value_name.get(), static_cast<std::uint32_t>(type),
                                           data ? std::string(data.get(), len) : std::string()});
    }
    Malloced<hive_node_h> children(hivex_node_children(h, node));
    if (!children)
        return false;
    for (const hive_node_h* c = children.get(); *c; ++c) {
        RegistryTree child;
        if (!readTree(h, *c, child))
            return false;
        out.subkeys.push_back(std::move(child));
    }
    return true;
}

// Makes `node` hold exactly the values and subkeys of `tree`.
bool writeTree(hive_h* h, hive_node_h node, const RegistryTree& tree) {
    Malloced<hive_node_h> children(hivex_node_children(h, node));
    if (!children)
        return false;
    std::vector<hive_node_h> old(children.get(), children.get() + hivex_node_nr_children(h, node));
    for (hive_node_h child : old) {
        if (hivex_node_delete_child(h, child) != 0)
            return false;
    }
    std::vector<hive_set_value> values;
    values.reserve(tree.values.size());
    for (const RegistryValue& v : tree.values) {
        values.push_back(hive_set_value{const_cast<char*>(v.name.c_str()), static_cast<hive_type>(v.type),
                                        v.data.size(), const_cast<char*>(v.data.data())});
    }
    if (hivex_node_set_values(h, node, values.size(), values.data(), 0) != 0)
        return false;
    for (const RegistryTree& sub : tree.subkeys) {
        const hive_node_h child = hivex_node_add_child(h, node, sub.name.c_str());
        if (!child || !writeTree(h, child, sub))
            return false;
    }
    return true;
}

// Writes the changes of `h` over `target` through a temporary file beside it. 0 or an errno.
int commitReplacing(hive_h* h, const std::string& target) {
    int error = 0;
    const std::string temp = reserveTemporary(target, error);
    if (temp.empty())
        return error;
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~currentUmask());
    if (hivex_commit(h, temp.c_str(), 0) != 0) {
        error = errno;
    } else if ((error = syncFile(temp)) == 0 && ::chmod(temp.c_str(), mode) != 0) {
        error = errno;
    } else if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0)
        ::unlink(temp.c_str());
    return error;
}

// A new hive file at `target` holding `tree`; an existing file or folder there is left alone and
// makes it fail with EEXIST. 0 or an errno.
int createHiveFile(const std::string& target, const RegistryTree& tree) {
    int error = 0;
    const std::string temp = reserveTemporary(target, error);
    if (temp.empty())
        return error;
    auto fail = [&](int e) {
        ::unlink(temp.c_str());
        return e;
    };
    if ((error = writeWhole(temp, emptyHive(tree.name))) != 0)
        return fail(error);
    {
        Hive h(hivex_open(temp.c_str(), HIVEX_OPEN_WRITE));
        if (!h)
            return fail(errno);
        if (!writeTree(h.get(), hivex_root(h.get()), tree) || hivex_commit(h.get(), nullptr, 0) != 0)
            return fail(errno ? errno : EIO);
    }
    // A saved key may hold passwords and form data: readable by its owner only.
    if ((error = syncFile(temp)) != 0 || ::chmod(temp.c_str(), 0600) != 0)
        return fail(error ? error : errno);
    if (::link(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        if (error == EEXIST)
            return fail(error);
        // File systems without hard links: the existence test and the move are two steps there.
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0)
            return fail(EEXIST);
        if (::rename(temp.c_str(), target.c_str()) != 0)
            return fail(errno);
        return 0;
    }
    ::unlink(temp.c_str());
    return 0;
}

std::string lastName(std::string_view key) {
    const auto parts = keyParts(key);
    return parts.empty() ? std::string() : parts.back();
}

HiveResult failed(int code, std::string message) {
    return HiveResult{HiveOutcome::CallFailed, code, std::move(message)};
}

std::string restoreFailure(std::string_view key, std::string_view file, const char* reason) {
    return "Cannot restore the registry key \"" + std::string(key) + "\" from \"" + std::string(file) +
           "\": " + reason;
}

// The user's hive, opened with `flags`. Without one (no machine, no NTUSER.DAT, a damaged file)
// no key can be saved or restored, which the caller reports for each key: a missing hive is not a
// missing key.
Hive openUserHive(int flags, HiveResult& failure) {
    const std::string ntuser = ntuserPath();
    if (ntuser.empty()) {
        failure = failed(ENOENT, "No Windows user is set, so there is no registry to work on");
        return nullptr;
    }
    Hive h(hivex_open(ntuser.c_str(), flags));
    if (!h) {
        const int e = errno ? errno : EIO;
        failure = failed(e, "Cannot open the registry of the user, \"" + ntuser + "\": " +
                                (e == ENOENT ? std::string("the file does not exist") : std::strerror(e)));
    }
    return h;
}

}  // namespace

HiveResult saveRegistryKey(std::string_view key, std::string_view file) {
    std::lock_guard lock(registry_mutex);
    const std::string ntuser = ntuserPath();
    RegistryTree tree;
    {
        HiveResult failure;
        Hive h = openUserHive(0, failure);
        if (!h)
            return failure;
        const hive_node_h node = findKey(h.get(), key);
        if (!node)
            return HiveResult{HiveOutcome::KeyUnavailable, 0, {}};
        if (!readTree(h.get(), node, tree)) {
            const int e = errno ? errno : EIO;
            return failed(e, "Cannot read the registry key \"" + std::string(key) + "\" from \"" + ntuser +
                                 "\": " + std::strerror(e));
        }
    }
    tree.name = lastName(key);
    if (fileExists(file))
        removeFile(file);
    const std::string target = nativePath(file).string();
    const int error = target.empty() ? ENOENT : createHiveFile(target, tree);
    if (error != 0) {
        return failed(
            error, "Cannot write the registry hive \"" + std::string(file) + "\": " + std::strerror(error));
    }
    return {};
}

HiveResult loadRegistryKey(std::string_view key, std::string_view file) {
    std::lock_guard lock(registry_mutex);
    if (!fileExists(file))
        return HiveResult{HiveOutcome::FileMissing, 0, {}};
    const std::string ntuser = ntuserPath();
    HiveResult failure;
    Hive user = openUserHive(HIVEX_OPEN_WRITE, failure);
    if (!user)
        return failure;

    RegistryTree tree;
    {
        const std::string source = nativePath(file).string();
        Hive h(hivex_open(source.c_str(), 0));
        if (!h || !readTree(h.get(), hivex_root(h.get()), tree)) {
            const int e = errno ? errno : EIO;
            const char* reason = (e == ENOTSUP || e == EINVAL || e == EFAULT || e == EIO)
                                     ? "the file is not a valid registry hive"
                                     : std::strerror(e);
            return failed(e, restoreFailure(key, file, reason));
        }
    }

    const hive_node_h node = createKey(user.get(), key);
    if (!node)
        return HiveResult{HiveOutcome::KeyUnavailable, errno, {}};
    if (!writeTree(user.get(), node, tree)) {
        const int e = errno ? errno : EIO;
        return failed(e, restoreFailure(key, file, std::strerror(e)));
    }
    if (const int e = commitReplacing(user.get(), ntuser); e != 0) {
        return failed(e, "Cannot write the registry of the user, \"" + ntuser + "\": " + std::strerror(e));
    }
    return {};
}

std::optional<RegistryTree> readRegistryTree(std::string_view key) {
    std::lock_guard lock(registry_mutex);
    const std::string ntuser = ntuserPath();
    Hive h(ntuser.empty() ? nullptr : hivex_open(ntuser.c_str(), 0));
    const hive_node_h node = h ? findKey(h.get(), key) : 0;
    RegistryTree tree;
    if (!node || !readTree(h.get(), node, tree))
        return std::nullopt;
    return tree;
}

bool writeRegistryTree(std::string_view key, const RegistryTree& tree) {
    std::lock_guard lock(registry_mutex);
    const std::string ntuser = ntuserPath();
    if (ntuser.empty())
        return false;
    struct stat st {};
    if (::stat(ntuser.c_str(), &st) != 0) {
        int error = 0;
        const std::string temp = reserveTemporary(ntuser, error);
        if (temp.empty())
            return false;
        if (writeWhole(temp, emptyHive("$$$PROTO.HIV")) != 0 ||
            ::chmod(temp.c_str(), 0666 & ~currentUmask()) != 0 ||
            ::rename(temp.c_str(), ntuser.c_str()) != 0) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    Hive h(hivex_open(ntuser.c_str(), HIVEX_OPEN_WRITE));
    if (!h)
        return false;
    const hive_node_h node = createKey(h.get(), key);
    return node && writeTree(h.get(), node, tree) && commitReplacing(h.get(), ntuser) == 0;
}

bool deleteRegistryTree(std::string_view key) {
    std::lock_guard lock(registry_mutex);
    const std::string ntuser = ntuserPath();
    Hive h(ntuser.empty() ? nullptr : hivex_open(ntuser.c_str(), HIVEX_OPEN_WRITE));
    if (!h)
        return true;
    const hive_node_h node = findKey(h.get(), key);
    if (!node)
        return true;
    if (node == hivex_root(h.get()))
        return writeTree(h.get(), node, RegistryTree{}) && commitReplacing(h.get(), ntuser) == 0;
    return hivex_node_delete_child(h.get(), node) == 0 && commitReplacing(h.get(), ntuser) == 0;
}

}  // namespace kelvora::platform
