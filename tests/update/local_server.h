// The update tests' HTTP server: update_server.py run by python3 on 127.0.0.1 with a port of its
// own choosing, serving a temporary folder. It ends with this object (and with the test program).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kelvora::test {

class LocalServer {
  public:
    // Serves `root`; with `certificate` and `key` over TLS.
    explicit LocalServer(const std::filesystem::path& root, const std::string& certificate = {},
                         const std::string& key = {});
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" + path
    std::string url(const std::string& path) const;
    // The requests so far, one "METHOD PATH VERSION USER-AGENT" line each.
    std::vector<std::string> requests() const;
    void clearRequests() const;

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
    std::filesystem::path log_;
};

}  // namespace kelvora::test
