// "Open" a web address in the user's browser or player: the address travels as one argument, never
// through a shell, so nothing in it is ever interpreted.
#pragma once

#include <string>

namespace ostravel {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // True when the opener was started; whether the page exists is never known.
    virtual bool Open(const std::string& url) = 0;
};

// xdg-open on POSIX systems, the shell's "open" verb on Windows.
class SystemUrlOpener final : public UrlOpener {
public:
    // `waitForExit`: return only once the opener has ended (tests read what it recorded).
    explicit SystemUrlOpener(bool waitForExit = false) : waitForExit_(waitForExit) {}
    bool Open(const std::string& url) override;
    static SystemUrlOpener& Instance();

private:
    bool waitForExit_;
};

// The opener the program uses; tests put a recording one in its place (nullptr restores the system's).
UrlOpener& CurrentUrlOpener();
void SetUrlOpener(UrlOpener* opener);

bool OpenUrl(const std::string& url);

}  // namespace ostravel
