// The current user's registry on Windows: hive files through the registry's own save and restore
// calls, with the backup or restore privilege switched on around them.
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/win32/win32_util.h"

namespace kelvora::platform {

namespace {

class Key {
  public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

// A privilege switched on in the process token for the lifetime of this object, and afterwards
// put back as it was: one that was on before stays on.
class Privilege {
  public:
    enum class State { On, NoToken, AdjustFailed };

    explicit Privilege(const wchar_t* name) {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            state_ = State::NoToken;
            return;
        }
        token_ = token;
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid)) {
            state_ = State::NoToken;
            return;
        }
        DWORD length = sizeof previous_;
        if (!AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof wanted, &previous_, &length)) {
            error_ = GetLastError();
            state_ = State::AdjustFailed;
            return;
        }
        // A privilege the token does not hold is not assigned (ERROR_NOT_ALL_ASSIGNED); the
        // registry call that needs it then fails on its own.
        state_ = State::On;
    }
    Privilege(const Privilege&) = delete;
    Privilege& operator=(const Privilege&) = delete;
    ~Privilege() {
        // `previous_` lists only what the adjustment changed, so this switches off exactly a
        // privilege that was off before.
        if (state_ == State::On && previous_.PrivilegeCount > 0)
            AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
        if (token_)
            CloseHandle(token_);
    }
    State state() const { return state_; }
    DWORD error() const { return error_; }

  private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_{};
    State state_ = State::NoToken;
    DWORD error_ = 0;
};

HiveResult outcome(HiveOutcome kind, DWORD code = 0) {
    return HiveResult{kind, static_cast<int>(code), code ? systemMessage(code) : std::string()};
}

std::optional<HiveResult> privilegeProblem(const Privilege& privilege) {
    switch (privilege.state()) {
        case Privilege::State::NoToken:
            return outcome(HiveOutcome::NoPrivilege);
        case Privilege::State::AdjustFailed:
            return outcome(HiveOutcome::PrivilegeFailed, privilege.error());
        default:
            return std::nullopt;
    }
}

bool isPlainFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool readTree(HKEY key, RegistryTree& out) {
    DWORD subkeys = 0, longest_subkey = 0, values = 0, longest_name = 0, longest_data = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longest_subkey, nullptr, &values,
                         &longest_name, &longest_data, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0; i < values; ++i) {
        std::wstring name(longest_name + 1, L'\0');
        std::string data(longest_data, '\0');
        DWORD name_length = static_cast<DWORD>(name.size());
        DWORD data_length = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &data_length) != ERROR_SUCCESS)
            return false;
        name.resize(name_length);
        data.resize(data_length);
        out.values.push_back(RegistryValue{toUtf8(name), type, std::move(data)});
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        std::wstring name(longest_subkey + 1, L'\0');
        DWORD name_length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return false;
        name.resize(name_length);
        Key child;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, child.out()) != ERROR_SUCCESS)
            return false;
        RegistryTree sub;
        if (!readTree(child.get(), sub))
            return false;
        sub.name = toUtf8(name);
        out.subkeys.push_back(std::move(sub));
    }
    return true;
}

bool writeTree(HKEY key, const RegistryTree& tree) {
    for (const RegistryValue& v : tree.values) {
        if (RegSetValueExW(key, toWide(v.name).c_str(), 0, v.type,
                           reinterpret_cast<const BYTE*>(v.data.data()),
                           static_cast<DWORD>(v.data.size())) != ERROR_SUCCESS)
            return false;
    }
    for (const RegistryTree& sub : tree.subkeys) {
        Key child;
        if (RegCreateKeyExW(key, toWide(sub.name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            child.out(), nullptr) != ERROR_SUCCESS ||
            !writeTree(child.get(), sub))
            return false;
    }
    return true;
}

}  // namespace

HiveResult saveRegistryKey(std::string_view key, std::string_view file) {
    Key opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, toWide(key).c_str(), 0, KEY_QUERY_VALUE, opened.out()) !=
        ERROR_SUCCESS)
        return outcome(HiveOutcome::KeyUnavailable);
    Privilege backup(L"SeBackupPrivilege");
    if (auto problem = privilegeProblem(backup))
        return *problem;
    const std::wstring target = toWide(file);
    // The save call refuses an existing file; one that can't be deleted makes it fail.
    if (isPlainFile(target))
        DeleteFileW(target.c_str());
    const LONG result = RegSaveKeyW(opened.get(), target.c_str(), nullptr);
    return result == ERROR_SUCCESS ? HiveResult{}
                                   : outcome(HiveOutcome::CallFailed, static_cast<DWORD>(result));
}

HiveResult loadRegistryKey(std::string_view key, std::string_view file) {
    Privilege restore(L"SeRestorePrivilege");
    if (auto problem = privilegeProblem(restore))
        return *problem;
    const std::wstring source = toWide(file);
    if (!isPlainFile(source))
        return outcome(HiveOutcome::FileMissing);
    Key opened;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, toWide(key).c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE,
                        KEY_WRITE, nullptr, opened.out(), nullptr) != ERROR_SUCCESS)
        return outcome(HiveOutcome::KeyUnavailable);
    const LONG result = RegRestoreKeyW(opened.get(), source.c_str(), REG_FORCE_RESTORE);
    return result == ERROR_SUCCESS ? HiveResult{}
                                   : outcome(HiveOutcome::CallFailed, static_cast<DWORD>(result));
}

std::optional<RegistryTree> readRegistryTree(std::string_view key) {
    Key opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, toWide(key).c_str(), 0, KEY_READ, opened.out()) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryTree tree;
    if (!readTree(opened.get(), tree))
        return std::nullopt;
    std::string_view trimmed = key;
    while (!trimmed.empty() && trimmed.back() == '\\')
        trimmed.remove_suffix(1);
    tree.name = std::string(
        trimmed.substr(trimmed.rfind('\\') == std::string_view::npos ? 0 : trimmed.rfind('\\') + 1));
    return tree;
}

bool writeRegistryTree(std::string_view key, const RegistryTree& tree) {
    const std::wstring wide = toWide(key);
    const LONG deleted = RegDeleteTreeW(HKEY_CURRENT_USER, wide.c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
        return false;
    Key created;
    return RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           created.out(), nullptr) == ERROR_SUCCESS &&
           writeTree(created.get(), tree);
}

bool deleteRegistryTree(std::string_view key) {
    const std::wstring wide = toWide(key);
    const LONG result = RegDeleteTreeW(HKEY_CURRENT_USER, wide.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        return false;
    const LONG removed = RegDeleteKeyW(HKEY_CURRENT_USER, wide.c_str());
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

}  // namespace kelvora::platform
