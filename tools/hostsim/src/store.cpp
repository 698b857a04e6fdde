#include "store.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace hostsim {

namespace fs = std::filesystem;

std::vector<Account> defaultAccounts() {
    return {
        Account{"dj", "djpass", 320, false, 8000},
        Account{"demo", "demo", 128, true, 8002},
    };
}

namespace {

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    while (true) {
        const auto tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

bool parseInt(std::string_view text, int low, int high, int& out) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace

bool parseAccounts(std::string_view text, std::vector<Account>& out, std::string& error) {
    std::vector<Account> accounts;
    int lineNumber = 0;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        auto line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto fields = splitTabs(line);
        const auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        if (fields.size() < 4 || fields.size() > 5) {
            return fail(
                "expected user, password, max-bitrate, normal|demo [, stream-port] separated by TABs");
        }
        Account account;
        account.user = std::string(fields[0]);
        account.password = std::string(fields[1]);
        if (account.user.empty()) {
            return fail("empty user name: nobody could log in with it");
        }
        if (account.user.find(',') != std::string::npos) {
            // The second login block is "Username,USER,PASSWORD", split at its commas.
            return fail("user name '" + account.user + "' holds a ',': nobody could log in with it");
        }
        if (account.user.size() > 99 || account.password.size() > 99) {
            return fail("user name and password are limited to 99 characters");
        }
        if (account.user.find('\0') != std::string::npos ||
            account.password.find('\0') != std::string::npos) {
            return fail("NUL in user name or password");
        }
        if (!parseInt(fields[2], 1, 100000, account.maxBitrate)) {
            return fail("max-bitrate must be a whole number of kbps");
        }
        if (fields[3] == "demo") {
            account.demo = true;
        } else if (fields[3] != "normal") {
            return fail("fourth field must be 'normal' or 'demo'");
        }
        account.streamPort = 8000 + 2 * static_cast<int>(accounts.size());
        if (fields.size() == 5 && !parseInt(fields[4], 1, 65535, account.streamPort)) {
            return fail("stream-port must be 1 to 65535");
        }
        for (const auto& other : accounts) {
            if (other.user == account.user) {
                return fail("user '" + account.user + "' listed twice");
            }
        }
        accounts.push_back(std::move(account));
    }
    if (accounts.empty()) {
        error = "no accounts";
        return false;
    }
    out = std::move(accounts);
    return true;
}

bool loadAccounts(const fs::path& file, std::vector<Account>& out, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read " + file.string();
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parseAccounts(text.str(), out, error)) {
        error = file.string() + ": " + error;
        return false;
    }
    return true;
}

fs::path defaultDataDir() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        return fs::path(state) / "ostravel-hostsim";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return fs::path(home) / ".local" / "state" / "ostravel-hostsim";
    }
    return fs::current_path() / "ostravel-hostsim-data";
}

std::string accountFolderName(std::string_view user) {
    // The prefix keeps "", "." and ".." out; percent escapes keep "/" and friends out.
    std::string name = "account-";
    for (const char ch : user) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-' ||
            ch == '_' || ch == '.') {
            name += ch;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            name += hex;
        }
    }
    return name;
}

std::string ConfFile::get(std::string_view key) const {
    for (const auto& [k, v] : entries_) {
        if (k == key) {
            return v;
        }
    }
    return {};
}

bool ConfFile::has(std::string_view key) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) {
            return true;
        }
    }
    return false;
}

void ConfFile::set(std::string_view key, std::string value) {
    for (auto& [k, v] : entries_) {
        if (k == key) {
            v = std::move(value);
            return;
        }
    }
    entries_.emplace_back(std::string(key), std::move(value));
}

std::string ConfFile::serialize() const {
    std::string out;
    for (const auto& [key, value] : entries_) {
        out += key;
        out += '=';
        for (const char ch : value) {
            switch (ch) {
                case '\\':
                    out += "\\\\";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                default:
                    out += ch;
            }
        }
        out += '\n';
    }
    return out;
}

void ConfFile::mergeText(std::string_view text) {
    while (!text.empty()) {
        const auto nl = text.find('\n');
        const auto line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        const auto eq = line.find('=');
        if (line.empty() || line.front() == '#' || eq == std::string_view::npos || eq == 0) {
            continue;
        }
        std::string value;
        const auto raw = line.substr(eq + 1);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const char code = raw[++i];
                value += code == 'n' ? '\n' : code == 'r' ? '\r' : code;
            } else {
                value += raw[i];
            }
        }
        set(line.substr(0, eq), std::move(value));
    }
}

bool ConfFile::mergeFrom(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    mergeText(text.str());
    return true;
}

bool ConfFile::save(const fs::path& file) const {
    const fs::path temporary = file.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out << "# written by ostravel-hostsim\n" << serialize();
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, file, ec);
    return !ec;
}

void appendLogLine(const fs::path& file, std::string_view line) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << stamp << ' ' << line << "\r\n";
}

std::string readLogTail(const fs::path& file, std::size_t maxBytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    if (all.size() <= maxBytes) {
        return all;
    }
    // Keep the newest lines, starting at a line boundary.
    auto start = all.size() - maxBytes;
    const auto nl = all.find('\n', start);
    start = nl == std::string::npos ? start : nl + 1;
    return all.substr(start);
}

void clearLog(const fs::path& file) { std::ofstream out(file, std::ios::binary | std::ios::trunc); }

}  // namespace hostsim
