#include "local_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

extern char** environ;

namespace kelvora::test {

LocalServer::LocalServer(const std::filesystem::path& root, const std::string& certificate,
                         const std::string& key) {
    log_ = root.parent_path() / (root.filename().string() + ".requests.log");
    std::ofstream(log_, std::ios::trunc).close();
    int in[2];
    int out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {KELVORA_PYTHON, KELVORA_UPDATE_SERVER, root.string(), log_.string()};
    if (!certificate.empty()) {
        args.push_back(certificate);
        args.push_back(key);
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, KELVORA_PYTHON, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    if (spawned != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " KELVORA_PYTHON);
    }
    // The server's first line names its port.
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    if (line.rfind("PORT ", 0) != 0)
        throw std::runtime_error("the test server did not start: " + line);
    port_ = std::stoi(line.substr(5));
}

LocalServer::~LocalServer() {
    if (stdin_ >= 0)
        ::close(stdin_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

std::string LocalServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LocalServer::requests() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void LocalServer::clearRequests() const {
    std::ofstream(log_, std::ios::trunc).close();
}

}  // namespace kelvora::test
