// The host's side of the service protocol: accounts, the three services of each account, their settings
// files and logs, and the answer to every request block.
#pragma once

#include <array>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store.h"
#include "wire.h"

namespace hostsim {

// What one connection knows about its client.
struct Session {
    enum class Phase { AwaitUser, AwaitCredentials, LoggedIn };
    Phase phase = Phase::AwaitUser;
    std::string firstBlock;  // the user name block, kept until the credentials block arrives
    int account = -1;
    int loginId = 0;
    std::string peer;

    bool loginPhase() const { return phase != Phase::LoggedIn; }
};

struct Outcome {
    std::vector<std::string> replies;      // each is written as a chunk of its own
    bool close = false;                    // end the connection (after the log-off notice)
    std::optional<std::string> faultList;  // a test asked this connection to misbehave
};

constexpr std::string_view kFaultCommand = "hostsim_fault,";

class Host {
public:
    struct Command;  // one row of the command catalogue

    Host(std::vector<Account> accounts, std::filesystem::path dataDir, std::string streamHost);

    // Creates the data directory and seeds every account's files that do not exist yet.
    bool prepare(std::string& error);

    Outcome handle(Session& session, const Block& block);
    std::string statusReport(const Session& session);

    // The block text as the console may show it: the account password replaced by stars.
    std::string maskForLog(std::string_view text) const;

    // For the web portal.
    std::optional<int> findAccount(std::string_view user, std::string_view password) const;
    const std::vector<Account>& accounts() const { return accounts_; }
    std::string serverLog(int account);

    struct Services {
        bool server = false;
        bool dj = false;
        bool tv = false;
    };
    Services services(int account);
    // A test switch: starts, stops or restarts one account's service as the host's operator would
    // (`what`: server_start, server_stop, server_restart, dj_start, dj_stop, dj_restart, tv_start,
    // tv_stop, tv_restart). The reply the client would have got; nothing for an unknown user or
    // operation.
    std::optional<std::string> operate(std::string_view user, std::string_view what);
    std::filesystem::path accountDir(int account) const;

private:
    enum Kind { kServ = 0, kTrans = 1, kNsv = 2 };
    struct State {
        Services running;
        std::size_t song = 0;
        std::size_t clip = 0;
        std::array<bool, 3> loaded{};
        std::array<ConfFile, 3> conf;
    };
    Outcome login(Session& session, const Block& block);
    Outcome command(Session& session, const Block& block);
    std::string run(const Command& cmd, int account, std::string_view config, Outcome& outcome);
    std::string runServer(const Command& cmd, int account, std::string_view config, Outcome& outcome);
    std::string runDj(const Command& cmd, int account, std::string_view config);
    std::string runTv(const Command& cmd, int account, std::string_view config);
    std::string stopServer(int account);
    // kind: kTrans for the AutoDJ, kNsv for the AutoTV.
    std::string startPlayer(int account, Kind kind, bool restart);
    std::string stopPlayer(int account, Kind kind);
    std::string clearLogs(int account, Kind kind, std::string_view errorPrefix, std::string_view done);
    std::string logsReply(int account, Kind kind, std::string_view keyword);

    ConfFile& conf(int account, Kind kind);
    bool saveConf(int account, Kind kind);
    ConfFile defaults(int account, Kind kind) const;
    std::filesystem::path confPath(int account, Kind kind) const;
    std::filesystem::path logPath(int account, Kind kind) const;
    void log(int account, Kind kind, std::string_view line);

    std::string statusLocked(int account);
    std::string serverSettingsReply(int account);
    std::string contentReply(int account);
    std::string djSettingsReply(int account);
    std::string tvSettingsReply(int account);
    std::string summary(int account);
    std::string applySettings(int account, Kind kind, std::string_view config, std::string_view saved);
    std::string currentSong(int account);

    std::vector<Account> accounts_;
    std::filesystem::path dataDir_;
    std::string streamHost_;
    std::mutex mutex_;
    std::vector<State> states_;
    int nextLoginId_ = 1000;
};

}  // namespace hostsim
