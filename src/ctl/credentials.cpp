#include "ctl/credentials.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostravel::ctl {

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
    // The mode is checked on the file that was opened, not on a name that may change in between.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) {
        error = "cannot open the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "the password file " + path + " is not a regular file";
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error = "the password file " + path + " may be read or written by others (mode " + mode +
                "); make it private with: chmod 600 " + path;
        return false;
    }
    std::string text;
    char buffer[512];
    // A password is one short line: reading stops at the first line break or after 4 KiB.
    while (text.find('\n') == std::string::npos && text.size() < 4096) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read the password file " + path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        error = "the password file " + path + " is empty; put the password on its first line";
        return false;
    }
    password = std::move(line);
    return true;
}

}  // namespace ostravel::ctl
