#include "platform/autostart.h"

#include <string_view>

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostravel {

namespace {

// Backslash escapes of a desktop entry's string values; a leading space would be trimmed by readers.
std::string EscapeValue(std::string_view value) {
    std::string escaped;
    for (const char c : value) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case ' ':
                escaped += escaped.empty() ? "\\s" : " ";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// One word of an Exec line: quoted when it holds a character the line's parser would split or
// interpret; '%' doubled, since a single one starts a field code.
std::string ExecWord(std::string_view word) {
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = word.empty() || word.find_first_of(kReserved) != std::string_view::npos;
    std::string out = quote ? "\"" : "";
    for (const char c : word) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
        if (c == '%') out += '%';
    }
    if (quote) out += '"';
    return out;
}

}  // namespace

std::string DesktopEntryExec(const std::string& program, const std::vector<std::string>& arguments) {
    if (program.empty() || program.find('=') != std::string::npos) return {};
    std::string line = ExecWord(program);
    for (const std::string& argument : arguments) line += " " + ExecWord(argument);
    // The quoting is undone after the string escapes, so it is applied first.
    return EscapeValue(line);
}

#ifndef _WIN32

namespace fs = std::filesystem;

namespace {

fs::path ConfigHome() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return config;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') return {};
    return fs::path(home) / ".config";
}

// A name that stays one file inside the autostart folder.
bool ValidAppId(const std::string& appId) {
    return !appId.empty() && appId[0] != '.' && appId.find('/') == std::string::npos &&
           appId.find('\0') == std::string::npos;
}

bool Fail(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
}

std::string ErrnoText(int code) { return std::error_code(code, std::generic_category()).message(); }

// Writes `text` to a temporary file beside `file`, flushed to disk, and renames it into place, so
// the session never reads a half-written entry.
bool WriteAtomically(const fs::path& file, const std::string& text, std::string* error) {
    std::string partial = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(partial.data());
    int failure = fd < 0 ? errno : 0;
    if (fd < 0)
        return Fail(error,
                    "Cannot write the autostart entry " + file.string() + ": " + ErrnoText(failure) + ".");
    ::fchmod(fd, 0644);
    std::size_t done = 0;
    while (done < text.size() && failure == 0) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written >= 0) {
            done += static_cast<std::size_t>(written);
        } else if (errno != EINTR) {
            failure = errno;
        }
    }
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(partial.c_str(), file.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(partial.c_str());
        return Fail(error,
                    "Cannot write the autostart entry " + file.string() + ": " + ErrnoText(failure) + ".");
    }
    return true;
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

fs::path AutostartFile(const std::string& appId) {
    const fs::path config = ConfigHome();
    if (config.empty()) return {};
    return config / "autostart" / (appId + ".desktop");
}

bool AutostartEnabled(const std::string& appId) {
    if (!ValidAppId(appId)) return false;
    std::ifstream in(AutostartFile(appId));
    if (!in.is_open()) return false;
    bool mainGroup = false;
    for (std::string line; std::getline(in, line);) {
        const std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            mainGroup = trimmed == "[Desktop Entry]";
            continue;
        }
        const auto equals = trimmed.find('=');
        if (!mainGroup || equals == std::string::npos) continue;
        const std::string key = Trim(std::string_view(trimmed).substr(0, equals));
        const std::string value = Trim(std::string_view(trimmed).substr(equals + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

bool WriteAutostart(const AutostartEntry& entry, std::string* error) {
    if (!ValidAppId(entry.appId))
        return Fail(error, "The autostart entry's name \"" + entry.appId + "\" cannot be a file name.");
    const std::string exec = DesktopEntryExec(entry.exec, entry.arguments);
    if (exec.empty())
        return Fail(error, "The program \"" + entry.exec + "\" cannot be named in an autostart entry.");
    const fs::path file = AutostartFile(entry.appId);
    if (file.empty()) return Fail(error, "There is no home folder to keep the autostart entry in.");

    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec)
        return Fail(error,
                    "Cannot make the folder " + file.parent_path().string() + ": " + ec.message() + ".");

    std::string text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + EscapeValue(entry.name) + "\n";
    if (!entry.comment.empty()) text += "Comment=" + EscapeValue(entry.comment) + "\n";
    text += "Exec=" + exec + "\n";
    if (!entry.icon.empty()) text += "Icon=" + EscapeValue(entry.icon) + "\n";
    text += "Terminal=false\nX-GNOME-Autostart-enabled=true\n";
    return WriteAtomically(file, text, error);
}

bool RemoveAutostart(const std::string& appId, std::string* error) {
    if (!ValidAppId(appId)) return true;  // no such file can exist
    const fs::path file = AutostartFile(appId);
    if (file.empty() || ::unlink(file.c_str()) == 0) return true;
    const int failure = errno;
    if (failure == ENOENT) return true;
    return Fail(error,
                "Cannot remove the autostart entry " + file.string() + ": " + ErrnoText(failure) + ".");
}

#endif

}  // namespace ostravel
