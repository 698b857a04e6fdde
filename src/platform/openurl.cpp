#include "platform/openurl.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
// shellapi.h builds on windows.h.
#include <shellapi.h>
#else
#include <cerrno>
#include <cstring>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

namespace ostravel {

namespace {
std::atomic<UrlOpener*> g_opener{nullptr};
}

// Shared with the threads that wait for openers, which may outlive the opener object.
struct SystemUrlOpener::Late {
    std::mutex mutex;
    TaskPoster poster;
    bool stopped = false;

    void Report(const UrlOpenFailed& failed, const std::string& reason) {
        std::lock_guard lock(mutex);
        if (stopped) return;
        if (poster) {
            poster([failed, reason] { failed(reason); });
        } else {
            failed(reason);
        }
    }
};

SystemUrlOpener::SystemUrlOpener(bool waitForExit)
    : waitForExit_(waitForExit), late_(std::make_shared<Late>()) {}

void SystemUrlOpener::SetLatePoster(TaskPoster poster) {
    std::lock_guard lock(late_->mutex);
    late_->poster = std::move(poster);
}

void SystemUrlOpener::StopLateReports() {
    std::lock_guard lock(late_->mutex);
    late_->stopped = true;
    late_->poster = nullptr;
}

std::string OpenerExitReason(int exitStatus) {
    // xdg-open's documented exit codes.
    switch (exitStatus) {
        case 1:
            return "the opener did not accept the address (xdg-open status 1)";
        case 2:
            return "the opener found nothing at the address (xdg-open status 2)";
        case 3:
            return "no browser or player was found (xdg-open status 3)";
        case 4:
            return "the browser or player could not be started (xdg-open status 4)";
        default:
            return "xdg-open failed with status " + std::to_string(exitStatus);
    }
}

#ifdef _WIN32
namespace {

std::intptr_t ShellOpen(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters) {
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, file, parameters, nullptr, SW_SHOWNORMAL));
}

std::atomic<ShellOpenFunction> g_shellOpen{&ShellOpen};

// The shell runs whatever it is given, programs included: only web addresses go to it.
bool IsWebAddress(const std::string& url) {
    for (const char* scheme : {"http://", "https://"}) {
        const std::string prefix(scheme);
        if (url.size() > prefix.size() &&
            std::equal(prefix.begin(), prefix.end(), url.begin(), [](char a, char b) {
                return a == static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
            })) {
            return true;
        }
    }
    return false;
}

}  // namespace

void SetShellOpenFunction(ShellOpenFunction function) {
    g_shellOpen.store(function != nullptr ? function : &ShellOpen);
}

bool SystemUrlOpener::Open(const std::string& url, UrlOpenFailed failed) {
    (void)waitForExit_;  // ShellExecuteW hands the address over and returns
    if (!IsWebAddress(url)) {
        if (failed) failed("only web addresses (http, https) are opened");
        return false;
    }
    // The address is the file the shell opens, whole; it never travels as parameters.
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        if (failed) failed("the address is not valid text");
        return false;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);  // the terminator came along
    const std::intptr_t result = g_shellOpen.load()(L"open", wide.c_str(), nullptr);
    if (result <= 32) {
        if (failed) failed("the shell could not open it (error " + std::to_string(result) + ")");
        return false;
    }
    return true;
}
#else
namespace {

// Waits for the opener and says what went wrong; empty when it ended well.
std::string Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return {};
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 0 ? std::string() : OpenerExitReason(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "xdg-open was ended by signal " + std::to_string(WTERMSIG(status));
    return {};
}

}  // namespace

bool SystemUrlOpener::Open(const std::string& url, UrlOpenFailed failed) {
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
    if (spawned != 0) {
        if (failed) {
            failed(spawned == ENOENT
                       ? std::string("xdg-open was not found")
                       : "xdg-open could not be started: " + std::string(std::strerror(spawned)));
        }
        return false;
    }
    if (waitForExit_) {
        const std::string reason = Reap(pid);
        if (!reason.empty() && failed) failed(reason);
        return true;
    }
    // xdg-open may stay until the browser ends; reap it without holding anyone up.
    std::thread([pid, failed = std::move(failed), late = late_] {
        const std::string reason = Reap(pid);
        if (!reason.empty() && failed) late->Report(failed, reason);
    }).detach();
    return true;
}
#endif

SystemUrlOpener& SystemUrlOpener::Instance() {
    static SystemUrlOpener opener;
    return opener;
}

UrlOpener& CurrentUrlOpener() {
    UrlOpener* opener = g_opener.load();
    return opener != nullptr ? *opener : SystemUrlOpener::Instance();
}

void SetUrlOpener(UrlOpener* opener) { g_opener.store(opener); }

bool OpenUrl(const std::string& url) { return CurrentUrlOpener().Open(url); }

}  // namespace ostravel
