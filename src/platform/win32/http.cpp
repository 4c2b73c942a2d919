// HTTP GET through WinINet.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_util.h"

namespace kelvora::platform {

namespace {

// The reason for WinINet's last error, from its own message table where it has one.
std::string lastInternetError() {
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                 FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             GetModuleHandleW(L"wininet.dll"), code, 0, reinterpret_cast<wchar_t*>(&buffer),
                             0, nullptr);
    std::wstring text;
    if (n && buffer) {
        text.assign(buffer, n);
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
            text.pop_back();
    }
    if (buffer)
        LocalFree(buffer);
    if (text.empty())
        return "internet error " + std::to_string(code);
    return toUtf8(text);
}

struct InternetHandle {
    HINTERNET handle = nullptr;
    explicit InternetHandle(HINTERNET h) : handle(h) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (handle)
            InternetCloseHandle(handle);
    }
    explicit operator bool() const { return handle != nullptr; }
};

// Where one request of a redirection chain goes.
struct Target {
    bool https = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
};

bool isRedirection(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The target a Location header names, seen from `from`; false when it is no http or https address.
bool followLocation(const Target& from, const std::wstring& location, Target& to) {
    const std::wstring lower = [&] {
        std::wstring l = location.substr(0, 8);
        for (auto& c : l)
            c = static_cast<wchar_t>(towlower(c));
        return l;
    }();
    if (lower.starts_with(L"http://") || lower.starts_with(L"https://")) {
        URL_COMPONENTSW parts = {};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        parts.dwExtraInfoLength = 1;
        if (!InternetCrackUrlW(location.c_str(), static_cast<DWORD>(location.size()), 0, &parts))
            return false;
        to.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
        to.host.assign(parts.lpszHostName, parts.dwHostNameLength);
        to.port = parts.nPort;
        to.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
        to.path.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    } else {
        to = from;
        if (location.starts_with(L"/"))
            to.path = location;
        else
            to.path = from.path.substr(0, from.path.rfind(L'/') + 1) + location;
    }
    if (to.path.empty())
        to.path = L"/";
    return !to.host.empty();
}

}  // namespace

HttpResult httpGet(const HttpRequest& request, const HttpHandler& handler, std::string& error) {
    const std::wstring agent = toWide(request.userAgent);
    InternetHandle root(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) {
        error = lastInternetError();
        return HttpResult::Failed;
    }
    Target target;
    target.https = request.https;
    target.host = toWide(request.host);
    target.port = request.port ? request.port
                               : (request.https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    target.path = toWide(request.path.empty() ? std::string("/") : request.path);
    if (target.path.front() != L'/')
        target.path.insert(target.path.begin(), L'/');
    const std::wstring user = toWide(request.userName);
    const std::wstring password = toWide(request.password);

    // Redirections are followed here rather than by WinINet, so that their number is bounded.
    for (int redirections = 0;; ++redirections) {
        const bool sameHost = target.host == toWide(request.host);
        InternetHandle connection(InternetConnectW(
            root.handle, target.host.c_str(), target.port, user.empty() || !sameHost ? nullptr : user.c_str(),
            user.empty() || !sameHost ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection) {
            error = lastInternetError();
            return HttpResult::Failed;
        }
        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                      INTERNET_FLAG_NO_AUTO_REDIRECT;
        if (target.https)
            flags |= INTERNET_FLAG_SECURE;
        InternetHandle http(HttpOpenRequestW(connection.handle, L"GET", target.path.c_str(), L"HTTP/1.0",
                                             nullptr, accept, flags, 0));
        if (!http) {
            error = lastInternetError();
            return HttpResult::Failed;
        }
        if (!HttpSendRequestW(http.handle, nullptr, 0, nullptr, 0)) {
            error = lastInternetError();
            return HttpResult::Failed;
        }

        DWORD status = 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoW(http.handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                            nullptr))
            status = 0;
        if (isRedirection(status)) {
            wchar_t location[2048] = {};
            size = sizeof location - sizeof(wchar_t);
            if (HttpQueryInfoW(http.handle, HTTP_QUERY_LOCATION, location, &size, nullptr)) {
                if (redirections >= request.maxRedirects) {
                    error = "Too many redirections";
                    return HttpResult::Failed;
                }
                Target next;
                if (!followLocation(target, std::wstring(location, size / sizeof(wchar_t)), next)) {
                    error = "Redirection to an unsupported address";
                    return HttpResult::Failed;
                }
                // What came over https does not go on over plain http.
                if (target.https && !next.https) {
                    error = "Redirection from https to http refused";
                    return HttpResult::Failed;
                }
                target = next;
                continue;
            }
        }

        std::optional<std::string> contentLength;
        wchar_t lengthText[512] = {};
        size = sizeof lengthText;
        if (HttpQueryInfoW(http.handle, HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr))
            contentLength = toUtf8(std::wstring_view(lengthText, size / sizeof(wchar_t)));
        if (handler.onResponse && !handler.onResponse(static_cast<int>(status), contentLength))
            return HttpResult::Stopped;

        std::vector<char> buffer(std::max<std::size_t>(request.chunkSize, 1));
        for (;;) {
            DWORD read = 0;
            if (!InternetReadFile(http.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
                error = lastInternetError();
                return HttpResult::Failed;
            }
            if (read == 0)
                break;
            if (handler.onChunk && !handler.onChunk(buffer.data(), read))
                return HttpResult::Stopped;
        }
        return HttpResult::Completed;
    }
}

}  // namespace kelvora::platform
