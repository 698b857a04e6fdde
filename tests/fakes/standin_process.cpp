#include "fakes/standin_process.h"

#include <cctype>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostravel::testing {
namespace {

// Its first line, a byte at a time so that nothing after it leaves the pipe; empty when it ends
// or stays silent for half a minute first.
std::string ReadFirstLine(int fd) {
    std::string line;
    pollfd ready{fd, POLLIN, 0};
    for (char c = 0; ::poll(&ready, 1, 30'000) > 0 && ::read(fd, &c, 1) == 1;) {
        if (c == '\n') return line;
        line += c;
    }
    return {};
}

}  // namespace

bool StandInProcess::Start(const std::filesystem::path& folder, const std::vector<std::string>& args,
                           bool keepOutput) {
    if (folder != folder_) Stop();
    Terminate();
    folder_ = folder;
    std::filesystem::create_directories(folder_);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);  // the copy is not closed on exec
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        pid_ = 0;
        ::close(out[0]);
        return false;
    }
    const std::string line = ReadFirstLine(out[0]);
    servicePort_ = PortAfter(line, "service=");
    portalPort_ = PortAfter(line, "portal=");
    if (keepOutput) {
        output_ = out[0];
        ::fcntl(output_, F_SETFL, ::fcntl(output_, F_GETFL) | O_NONBLOCK);
    } else {
        ::close(out[0]);
    }
    if (servicePort_ == 0) Terminate();  // e.g. the portal's port is taken
    return servicePort_ != 0;
}

void StandInProcess::Terminate() {
    if (output_ >= 0) ::close(std::exchange(output_, -1));
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
}

void StandInProcess::Stop() {
    Terminate();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
}

const std::string& StandInProcess::Printed() {
    char chunk[4096];
    for (ssize_t n; output_ >= 0 && (n = ::read(output_, chunk, sizeof chunk)) > 0;)
        printed_.append(chunk, static_cast<std::size_t>(n));
    return printed_;
}

unsigned short StandInProcess::PortAfter(const std::string& line, const std::string& key) {
    const auto at = line.find(key);
    if (at == std::string::npos) return 0;
    const std::string endpoint = line.substr(at, line.find(' ', at) - at);  // to the end without a space
    const auto colon = endpoint.rfind(':');
    if (colon == std::string::npos || !std::isdigit(static_cast<unsigned char>(endpoint[colon + 1])))
        return 0;
    return static_cast<unsigned short>(std::stoi(endpoint.substr(colon + 1)));
}

}  // namespace ostravel::testing
