#include "platform/openurl.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;
#endif

namespace ostravel {

namespace {
std::atomic<UrlOpener*> g_opener{nullptr};
}

#ifdef _WIN32
bool SystemUrlOpener::Open(const std::string& url) {
    (void)waitForExit_;  // ShellExecuteW hands the address over and returns
    const int length = MultiByteToWideChar(CP_UTF8, 0, url.c_str(), -1, nullptr, 0);
    if (length <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, url.c_str(), -1, wide.data(), length);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}
#else
bool SystemUrlOpener::Open(const std::string& url) {
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    auto reap = [pid] {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    };
    if (waitForExit_) {
        reap();
    } else {
        // xdg-open may stay until the browser ends; reap it without holding anyone up.
        std::thread(reap).detach();
    }
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
