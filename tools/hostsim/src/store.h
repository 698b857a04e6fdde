// Accounts and the per-account files of the data directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hostsim {

struct Account {
    std::string user;
    std::string password;
    int maxBitrate = 128;  // kilobits per second of the plan
    bool demo = false;
    int streamPort = 8000;
};

// Built in when no accounts file is given: one full account and one demo account.
std::vector<Account> defaultAccounts();

// Accounts file: one account a line, fields separated by TAB:
//   user  password  max-bitrate  normal|demo  [stream-port]
// Blank lines and lines starting with '#' are skipped. Returns false with "line N: why" on a bad line.
bool parseAccounts(std::string_view text, std::vector<Account>& out, std::string& error);
bool loadAccounts(const std::filesystem::path& file, std::vector<Account>& out, std::string& error);

// $XDG_STATE_HOME/ostravel-hostsim, else ~/.local/state/ostravel-hostsim, else ./ostravel-hostsim-data.
std::filesystem::path defaultDataDir();

// Folder of one account inside the data directory; any user name maps to one safe, distinct name.
std::string accountFolderName(std::string_view user);

// An ordered key=value file. Values keep any byte: backslash, CR and LF are escaped on disk.
class ConfFile {
public:
    ConfFile() = default;
    explicit ConfFile(std::vector<std::pair<std::string, std::string>> entries)
        : entries_(std::move(entries)) {}

    std::string get(std::string_view key) const;
    bool has(std::string_view key) const;
    void set(std::string_view key, std::string value);
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

    // Reads `file` over the current entries (unknown keys are kept too); false when it does not exist.
    bool mergeFrom(const std::filesystem::path& file);
    // Writes through a temporary file and a rename, so a crash never leaves half a file.
    bool save(const std::filesystem::path& file) const;

    std::string serialize() const;
    void mergeText(std::string_view text);

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// Log files: lines appended with a time stamp, read back as a tail, cleared by truncation.
void appendLogLine(const std::filesystem::path& file, std::string_view line);
std::string readLogTail(const std::filesystem::path& file, std::size_t maxBytes);
void clearLog(const std::filesystem::path& file);

}  // namespace hostsim
