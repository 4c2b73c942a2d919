// HTTP GET through libcurl, in libkelvora-services.so (posix/services.h).
#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <mutex>

#include "platform/posix/posix_util.h"
#include "platform/posix/services.h"

namespace kelvora::platform::services {

namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the callbacks share with the call that runs the transfer.
struct Transfer {
    CURL* curl = nullptr;
    const HttpRequest* request = nullptr;
    const HttpHandler* handler = nullptr;
    std::optional<std::string> contentLength;  // of the response whose head is being read
    bool responded = false;
    bool stopped = false;
    std::exception_ptr failure;

    bool respond() {
        responded = true;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (handler->onResponse && !handler->onResponse(static_cast<int>(status), contentLength))
            stopped = true;
        return !stopped;
    }
};

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    // Every response of a redirection chain starts with its status line.
    if (line.starts_with("HTTP/")) {
        t.contentLength.reset();
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
        if (asciiLower(line.substr(0, colon)) == "content-length")
            t.contentLength = trimmed(line.substr(colon + 1));
    }
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t total = size * count;
    try {
        if (!t.responded && !t.respond())
            return CURL_WRITEFUNC_ERROR;
        const size_t chunk = std::max<size_t>(t.request->chunkSize, 1);
        for (size_t done = 0; done < total;) {
            const size_t n = std::min(chunk, total - done);
            if (t.handler->onChunk && !t.handler->onChunk(data + done, n)) {
                t.stopped = true;
                return CURL_WRITEFUNC_ERROR;
            }
            done += n;
        }
    } catch (...) {
        t.failure = std::current_exception();
        return CURL_WRITEFUNC_ERROR;
    }
    return total;
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

HttpResult curlGet(const HttpRequest& request, const HttpHandler& handler, std::string& error) {
    globalInit();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        error = "libcurl could not be initialised";
        return HttpResult::Failed;
    }
    Transfer t;
    t.curl = curl.get();
    t.request = &request;
    t.handler = &handler;

    const std::uint16_t port = request.port ? request.port : (request.https ? 443 : 80);
    std::string path = request.path.empty() ? "/" : request.path;
    if (path.front() != '/')
        path.insert(path.begin(), '/');
    const std::string url = std::string(request.https ? "https://" : "http://") + request.host + ":" +
                            std::to_string(port) + path;

    std::unique_ptr<curl_slist, SlistDeleter> headers;
    for (const char* header : {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"})
        headers.reset(curl_slist_append(headers.release(), header));

    char message[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    // What came over https does not go on over plain http.
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, request.https ? "https" : "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, static_cast<long>(std::max(request.maxRedirects, 0)));
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that stops sending ends the transfer instead of blocking the program for ever.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
    if (!request.userName.empty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, request.userName.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, request.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);

    const CURLcode code = curl_easy_perform(c);
    if (t.failure)
        std::rethrow_exception(t.failure);
    if (t.stopped)
        return HttpResult::Stopped;
    if (code != CURLE_OK) {
        error = message[0] ? message : curl_easy_strerror(code);
        return HttpResult::Failed;
    }
    // A response without a body has not been announced yet.
    if (!t.responded) {
        if (!t.respond())
            return HttpResult::Stopped;
    }
    return HttpResult::Completed;
}

}  // namespace kelvora::platform::services
