// "Open" a web address in the user's browser or player: the address travels as one argument, never
// through a shell, so nothing in it is ever interpreted.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ostravel {

// Told, in words for the user, why an address could not be opened.
using UrlOpenFailed = std::function<void(const std::string& reason)>;
// Runs a task on the thread that should hear of late failures.
using TaskPoster = std::function<void(std::function<void()>)>;

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // True when the opener was started; whether the page exists is never known. `failed` hears of
    // an opener that cannot be started (before Open returns) or that gives up later.
    virtual bool Open(const std::string& url, UrlOpenFailed failed) = 0;
    bool Open(const std::string& url) { return Open(url, {}); }
};

// xdg-open on POSIX systems, the shell's "open" verb on Windows.
class SystemUrlOpener final : public UrlOpener {
public:
    // `waitForExit`: return only once the opener has ended (tests read what it recorded).
    explicit SystemUrlOpener(bool waitForExit = false);
    using UrlOpener::Open;
    bool Open(const std::string& url, UrlOpenFailed failed) override;
    static SystemUrlOpener& Instance();

    // xdg-open may run as long as the browser it starts, so its failure can come much later, on a
    // thread of its own. Such failures are handed to `poster` (the program passes its UI thread);
    // an empty poster reports them on that thread. Once StopLateReports returns, none is reported.
    void SetLatePoster(TaskPoster poster);
    void StopLateReports();

private:
    struct Late;
    bool waitForExit_;
    std::shared_ptr<Late> late_;
};

#ifdef _WIN32
// What the Windows opener hands an address to: ShellExecuteW's verb, file and parameters, and its
// result (above 32 when the shell took it). Tests put a recording function in its place; nullptr
// puts the shell back.
using ShellOpenFunction = std::intptr_t (*)(const wchar_t* verb, const wchar_t* file,
                                            const wchar_t* parameters);
void SetShellOpenFunction(ShellOpenFunction function);
#endif

// What an opener's exit status means, for the user.
std::string OpenerExitReason(int exitStatus);

// The opener the program uses; tests put a recording one in its place (nullptr restores the system's).
UrlOpener& CurrentUrlOpener();
void SetUrlOpener(UrlOpener* opener);

bool OpenUrl(const std::string& url);

}  // namespace ostravel
