// HTTP GET through WinINet.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace kelvora::platform {

namespace {

std::wstring widen(std::string_view text) {
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

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
    return narrow(text);
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

}  // namespace

HttpResult httpGet(const HttpRequest& request, const HttpHandler& handler, std::string& error) {
    const std::wstring agent = widen(request.userAgent);
    InternetHandle root(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) {
        error = lastInternetError();
        return HttpResult::Failed;
    }
    const INTERNET_PORT port =
        request.port ? request.port
                     : (request.https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    const std::wstring host = widen(request.host);
    const std::wstring user = widen(request.userName);
    const std::wstring password = widen(request.password);
    InternetHandle connection(
        InternetConnectW(root.handle, host.c_str(), port, user.empty() ? nullptr : user.c_str(),
                         user.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        error = lastInternetError();
        return HttpResult::Failed;
    }
    std::wstring path = widen(request.path.empty() ? std::string("/") : request.path);
    if (path.front() != L'/')
        path.insert(path.begin(), L'/');
    const wchar_t* accept[] = {L"*/*", nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    // Redirections from http up to https are followed; from https down to http they fail.
    flags |= request.https ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    InternetHandle http(
        HttpOpenRequestW(connection.handle, L"GET", path.c_str(), L"HTTP/1.0", nullptr, accept, flags, 0));
    if (!http) {
        error = lastInternetError();
        return HttpResult::Failed;
    }
#ifdef INTERNET_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS
    DWORD redirects = static_cast<DWORD>(std::max(request.maxRedirects, 0));
    InternetSetOptionW(http.handle, INTERNET_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                       sizeof redirects);
#endif
    if (!HttpSendRequestW(http.handle, nullptr, 0, nullptr, 0)) {
        error = lastInternetError();
        return HttpResult::Failed;
    }

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(http.handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr))
        status = 0;
    std::optional<std::string> contentLength;
    wchar_t lengthText[512] = {};
    size = sizeof lengthText;
    if (HttpQueryInfoW(http.handle, HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr))
        contentLength = narrow(std::wstring_view(lengthText, size / sizeof(wchar_t)));
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

}  // namespace kelvora::platform
