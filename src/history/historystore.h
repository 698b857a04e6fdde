// The station's history: for each account (host and user name), the spans of time in one state, in
// SQLite (WAL, one transaction per change), so that "when did the stream go down last night, and for
// how long" has an answer the customer owns. Where nobody watched there is no span.
//
// Any number of recorders of one account may write at once (the desktop program and `ostravel-ctl
// watch`): a change is written by whoever sees it first, and the others find it already there. Calls
// block on the disk: the desktop makes them off its UI thread (HistoryRecorder).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ostravel {

// The states a span can hold: the tray's three and the session lost (while it reconnects).
inline constexpr int kHistoryDown = 0;
inline constexpr int kHistoryNoSource = 1;
inline constexpr int kHistoryOnAir = 2;
inline constexpr int kHistoryLost = -2;

struct HistorySpan {
    std::int64_t start = 0;  // UTC seconds
    std::int64_t end = 0;    // UTC seconds; kOpenEnd while it still holds
    int state = 0;
    static constexpr std::int64_t kOpenEnd = -1;
    bool operator==(const HistorySpan&) const = default;
};

// $XDG_STATE_HOME/zandrel/history.sqlite (~/.local/state/... without it); %LOCALAPPDATA%\zandrel on
// Windows.
std::filesystem::path HistoryFile();
// How long spans are kept.
inline constexpr std::int64_t kHistoryKeepSeconds = 400LL * 24 * 60 * 60;
// A span still open whose state nobody confirmed for this long was left by a recorder that ended
// without closing it (killed, crashed, the machine off): it ends where it was last seen.
inline constexpr std::int64_t kHistoryUnwatchedGap = 15 * 60;
// How often a repeated state is confirmed in the file (well inside the gap above).
inline constexpr std::int64_t kHistorySeenEvery = 5 * 60;

class HistoryStore {
public:
    // Opens `file`, making it and its folder when missing. A damaged file is moved aside
    // (<file>.broken-<YYYYMMDD>) and a fresh one started; `notice` then says so in one line. Nothing
    // when no history can be kept here (read-only folder, full disk), with the reason in `notice`.
    // `readOnly` opens an existing file for reading only and never moves anything.
    static std::unique_ptr<HistoryStore> Open(const std::filesystem::path& file, std::string* notice,
                                              bool readOnly = false);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // "host:port user": the account a span belongs to.
    static std::string AccountKey(const std::string& host, const std::string& userName);

    // The account is in `state` from `at` on: the open span ends at `at` and a new one starts, unless
    // the open one is in that state already (nothing is written, but now and then when it was last
    // seen). False when the write failed.
    bool Record(const std::string& account, int state, std::int64_t at);
    // Spans kept elsewhere (a generated year, another machine's record), oldest first and apart, in
    // one transaction: the account's spans from the first one's start on are replaced. The last may
    // be open.
    bool Import(const std::string& account, const std::vector<HistorySpan>& spans);
    // Nobody watches from `at` on (the program ends, the user logs off): the open span ends.
    bool Close(const std::string& account, std::int64_t at);
    // The spans that overlap [from, to), oldest first. An open span left unconfirmed for longer than
    // kHistoryUnwatchedGap before `to` is given its last-seen time as its end.
    std::vector<HistorySpan> Spans(const std::string& account, std::int64_t from, std::int64_t to) const;
    // The accounts with any span, the most recently changed first.
    std::vector<std::string> Accounts() const;
    // Drops the spans that ended before `before`; how many.
    int Prune(std::int64_t before);
    // The last failure's text (SQLite's), for the one line the program shows.
    const std::string& LastError() const { return lastError_; }

private:
    explicit HistoryStore(sqlite3* db) : db_(db) {}
    bool Execute(const char* sql);
    bool Fail();
    bool CloseOpen(std::int64_t accountId, std::int64_t at);
    // Each statement is prepared on first use and kept; the key is the text's own address.
    sqlite3_stmt* Prepared(const char* sql) const;
    // The account's number; 0 when it has none (and `create` is false) or on a failure.
    std::int64_t AccountId(const std::string& account, bool create) const;

    sqlite3* db_;
    mutable std::string lastError_;
    mutable std::map<const char*, sqlite3_stmt*> statements_;
    mutable std::map<std::string, std::int64_t> accountIds_;
};

}  // namespace ostravel
