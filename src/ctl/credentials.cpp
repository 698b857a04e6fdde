#include "ctl/credentials.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include "platform/passwordstore.h"
#include "platform/windows/widetext.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/translate.h"

namespace ostravel::ctl {

namespace {

// A password is one short line: reading stops at the first line break or after 4 KiB.
constexpr std::size_t kMostRead = 4096;

bool TakeFirstLine(const std::string& text, const std::string& path, std::string& password,
                   std::string& error) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        error = FillIn(Translated(N_("the password file {1} is empty; put the password on its first line")),
                       {path});
        return false;
    }
    password = std::move(line);
    return true;
}

#ifndef _WIN32

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

#else

struct Handle {
    HANDLE handle;
    ~Handle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

struct LocalMemory {
    void* memory = nullptr;
    ~LocalMemory() { LocalFree(memory); }
};

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    LocalMemory owned{text};
    std::string message = length != 0 ? Narrow(std::wstring_view(text, length)) : std::string();
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

// "DOMAIN\name" of an account, or its SID's text when it has no name here.
std::string AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
        const std::string account = Narrow(name);
        return domainLength == 0 ? account : Narrow(domain) + "\\" + account;
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
    LocalMemory owned{text};
    return Narrow(text);
}

// The account this program runs as.
std::string CurrentUser(std::string& user) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return SystemMessage(GetLastError());
    Handle owned{token};
    char buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
        return SystemMessage(GetLastError());
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    user.assign(static_cast<const char*>(sid), GetLengthSid(sid));
    return {};
}

// Who besides the owner may read or write the open file, as the owner-only mode is on POSIX
// systems: empty when nobody. The system and the administrators are not counted: like root, they
// can take any file anyway.
std::string OthersAllowed(HANDLE file, std::string& error) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status =
        GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        error = SystemMessage(status);
        return {};
    }
    LocalMemory owned{descriptor};
    if (dacl == nullptr) return "Everyone";  // no list at all lets everybody in
    std::string user;
    if (error = CurrentUser(user); !error.empty()) return {};
    constexpr ACCESS_MASK kReadOrWrite = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_READ |
                                         GENERIC_WRITE | GENERIC_ALL | WRITE_DAC | WRITE_OWNER;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // An entry only handed down to files made inside does not apply to this one.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0)
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & kReadOrWrite) == 0) continue;
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((owner != nullptr && EqualSid(sid, owner)) || EqualSid(sid, user.data()) ||
            IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
            continue;
        return AccountName(sid);
    }
    return {};
}

#endif

}  // namespace

#ifndef _WIN32

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
    // The mode is checked on the file that was opened, not on a name that may change in between.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) {
        error =
            FillIn(Translated(N_("cannot open the password file {1}: {2}")), {path, std::strerror(errno)});
        return false;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        error =
            FillIn(Translated(N_("cannot read the password file {1}: {2}")), {path, std::strerror(errno)});
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = FillIn(Translated(N_("the password file {1} is not a regular file")), {path});
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error =
            FillIn(Translated(N_("the password file {1} may be read or written by others (mode {2}); make "
                                 "it private with: chmod 600 {1}")),
                   {path, mode});
        return false;
    }
    std::string text;
    char buffer[512];
    while (text.find('\n') == std::string::npos && text.size() < kMostRead) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = FillIn(Translated(N_("cannot read the password file {1}: {2}")),
                           {path, std::strerror(errno)});
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return TakeFirstLine(text, path, password, error);
}

std::optional<std::string> RememberedPassword(const std::string&) { return std::nullopt; }

#else

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
    // The ACL is checked on the file that was opened, not on a name that may change in between.
    // Opening with backup semantics lets a folder open too, to be told apart below.
    Handle file{CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        error = "cannot open the password file " + path + ": " + SystemMessage(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "the password file " + path + " is not a regular file";
        return false;
    }
    std::string failure;
    if (const std::string others = OthersAllowed(file.handle, failure); !others.empty() || !failure.empty()) {
        error = !failure.empty() ? "cannot read who may use the password file " + path + ": " + failure
                                 : "the password file " + path + " may be read or written by others (" +
                                       others + "); make it private with: icacls \"" + path +
                                       "\" /inheritance:r /grant:r \"%USERNAME%:F\"";
        return false;
    }
    std::string text;
    char buffer[512];
    while (text.find('\n') == std::string::npos && text.size() < kMostRead) {
        DWORD n = 0;
        if (!ReadFile(file.handle, buffer, sizeof buffer, &n, nullptr)) {
            error = "cannot read the password file " + path + ": " + SystemMessage(GetLastError());
            return false;
        }
        if (n == 0) break;
        text.append(buffer, n);
    }
    return TakeFirstLine(text, path, password, error);
}

std::optional<std::string> RememberedPassword(const std::string& user) {
    return DesktopPasswordStore().Lookup(user);
}

#endif

}  // namespace ostravel::ctl
