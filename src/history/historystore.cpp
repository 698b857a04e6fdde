#include "history/historystore.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <thread>

#include <sqlite3.h>

#include "platform/clock.h"

namespace ostravel {

namespace fs = std::filesystem;

namespace {

// Accounts by number, so that each span stores a number; the spans in their key's order (no second
// lookup per row); a small index of the open spans alone. finish is NULL while the span holds; seen
// is when a recorder last confirmed it.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS accounts (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS spans ("
    " account INTEGER NOT NULL, start INTEGER NOT NULL, finish INTEGER, seen INTEGER NOT NULL,"
    " state INTEGER NOT NULL, PRIMARY KEY (account, start)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS spans_open ON spans (account) WHERE finish IS NULL;";
constexpr int kBusyMilliseconds = 5000;  // another recorder's transaction is short

// One use of a statement prepared once: bound, stepped, and reset for the next use when it goes.
class Statement {
public:
    explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
    ~Statement() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const { return statement_ != nullptr; }
    Statement& Bind(int index, const std::string& text) {
        sqlite3_bind_text(statement_, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, std::int64_t number) {
        sqlite3_bind_int64(statement_, index, number);
        return *this;
    }
    int Step() { return statement_ != nullptr ? sqlite3_step(statement_) : SQLITE_MISUSE; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    bool Null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return text != nullptr ? std::string(text, sqlite3_column_bytes(statement_, column)) : std::string();
    }

private:
    sqlite3_stmt* statement_;
};

std::string Today() {
    const std::tm utc = UtcCalendar(std::time(nullptr));
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &utc);
    return text;
}

bool IsBusy(int code) { return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED; }

// The file opened, in WAL, with the schema; nothing (and the connection closed) on any failure.
sqlite3* OpenDatabase(const fs::path& file, bool readOnly, int* code, std::string* error) {
    sqlite3* db = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    *code = sqlite3_open_v2(file.string().c_str(), &db, flags, nullptr);
    if (*code == SQLITE_OK && readOnly) {
        sqlite3_busy_timeout(db, kBusyMilliseconds);
        *code = sqlite3_exec(db, "SELECT count(*) FROM spans", nullptr, nullptr, nullptr);
    } else if (*code == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyMilliseconds);
        // quick_check reads every page's header: a damaged file is found now, not at the first write.
        *code = sqlite3_exec(db, "PRAGMA quick_check; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;",
                             nullptr, nullptr, nullptr);
        if (*code == SQLITE_OK) *code = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    }
    if (*code == SQLITE_OK) return db;
    *error = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(*code);
    sqlite3_close(db);
    return nullptr;
}

}  // namespace

fs::path HistoryFile() {
#ifdef _WIN32
    // Read wide: the profile folder's name may hold letters the ANSI code page has not.
    const wchar_t* base = _wgetenv(L"LOCALAPPDATA");
    return fs::path(base != nullptr ? base : L".") / "zandrel" / "history.sqlite";
#else
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && fs::path(state).is_absolute())
        return fs::path(state) / "zandrel" / "history.sqlite";
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : ".") / ".local" / "state" / "zandrel" / "history.sqlite";
#endif
}

std::unique_ptr<HistoryStore> HistoryStore::Open(const fs::path& file, std::string* notice, bool readOnly) {
    std::error_code ec;
    if (readOnly && !fs::exists(file, ec)) {
        if (notice != nullptr) *notice = "No station history has been kept in " + file.string() + " yet.";
        return nullptr;
    }
    if (!readOnly) fs::create_directories(file.parent_path(), ec);
    int code = SQLITE_OK;
    std::string error;
    sqlite3* db = OpenDatabase(file, readOnly, &code, &error);
    // Two recorders setting up one new file at the same moment (the switch to WAL takes it whole, and
    // SQLite answers one of them "busy" at once rather than let both wait on each other): the later
    // one tries again once the other is done, for up to about five seconds.
    for (int attempt = 1; db == nullptr && IsBusy(code) && attempt <= 40; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * attempt));
        db = OpenDatabase(file, readOnly, &code, &error);
    }
    if (db == nullptr && !readOnly && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)) {
        const fs::path aside = file.string() + ".broken-" + Today();
        fs::rename(file, aside, ec);
        for (const char* suffix : {"-wal", "-shm"}) fs::remove(file.string() + suffix, ec);
        db = OpenDatabase(file, false, &code, &error);
        if (db != nullptr && notice != nullptr) {
            *notice = "The station history was damaged: it was moved to " + aside.string() +
                      " and a new one was started.";
        }
    }
    if (db == nullptr) {
        if (notice != nullptr)
            *notice = "The station history cannot be kept in " + file.string() + ": " + error;
        return nullptr;
    }
    return std::unique_ptr<HistoryStore>(new HistoryStore(db));
}

HistoryStore::~HistoryStore() {
    for (const auto& [sql, statement] : statements_) sqlite3_finalize(statement);
    sqlite3_close(db_);
}

sqlite3_stmt* HistoryStore::Prepared(const char* sql) const {
    sqlite3_stmt*& statement = statements_[sql];
    if (statement == nullptr)
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    return statement;
}

std::int64_t HistoryStore::AccountId(const std::string& account, bool create) const {
    if (const auto known = accountIds_.find(account); known != accountIds_.end()) return known->second;
    if (create) {
        Statement add(Prepared("INSERT OR IGNORE INTO accounts (name) VALUES (?1)"));
        if (add.Bind(1, account).Step() != SQLITE_DONE) return 0;
    }
    Statement find(Prepared("SELECT id FROM accounts WHERE name = ?1"));
    if (find.Bind(1, account).Step() != SQLITE_ROW) return 0;
    return accountIds_[account] = find.Int(0);
}

std::string HistoryStore::AccountKey(const std::string& host, const std::string& userName) {
    return host + " " + userName;
}

bool HistoryStore::Fail() {
    lastError_ = sqlite3_errmsg(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool HistoryStore::Execute(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    return Fail();
}

bool HistoryStore::CloseOpen(std::int64_t id, std::int64_t at) {
    Statement close(
        Prepared("UPDATE spans INDEXED BY spans_open SET finish = max(start, ?2) WHERE account = ?1 AND "
                 "finish IS NULL"));
    return close.Bind(1, id).Bind(2, at).Step() == SQLITE_DONE;
}

bool HistoryStore::Record(const std::string& account, int state, std::int64_t at) {
    const std::int64_t id = AccountId(account, true);
    if (id == 0) return Fail();
    // IMMEDIATE: the open span is read and replaced under the write lock, so that two recorders of
    // one change write it once.
    if (!Execute("BEGIN IMMEDIATE")) return false;
    {
        Statement open(
            Prepared("SELECT start, seen, state FROM spans INDEXED BY spans_open WHERE account = ?1 AND "
                     "finish IS NULL"));
        const int found = open.Bind(1, id).Step();
        if (found == SQLITE_ROW) {
            const std::int64_t start = open.Int(0), seen = open.Int(1);
            const bool stale = at - seen > kHistoryUnwatchedGap;
            if (!stale && open.Int(2) == state) {
                if (at - seen < kHistorySeenEvery) return Execute("COMMIT");  // a repeat: nothing to write
                Statement confirm(
                    Prepared("UPDATE spans INDEXED BY spans_open SET seen = ?2 WHERE account = ?1 AND finish "
                             "IS NULL"));
                if (confirm.Bind(1, id).Bind(2, at).Step() != SQLITE_DONE) return Fail();
                return Execute("COMMIT");
            }
            // A clock set back must not give a span that ends before it starts.
            at = std::max(at, start);
            if (!CloseOpen(id, stale ? seen : at)) return Fail();
        } else if (found != SQLITE_DONE) {
            return Fail();
        }
    }
    Statement insert(Prepared(
        "INSERT OR REPLACE INTO spans (account, start, finish, seen, state) VALUES (?1, ?2, NULL, ?2, ?3)"));
    if (insert.Bind(1, id).Bind(2, at).Bind(3, static_cast<std::int64_t>(state)).Step() != SQLITE_DONE)
        return Fail();
    return Execute("COMMIT");
}

bool HistoryStore::Import(const std::string& account, const std::vector<HistorySpan>& spans) {
    const std::int64_t id = AccountId(account, true);
    if (id == 0) return Fail();
    if (spans.empty()) return true;
    if (!Execute("BEGIN IMMEDIATE")) return false;
    Statement clear(Prepared("DELETE FROM spans WHERE account = ?1 AND start >= ?2"));
    if (clear.Bind(1, id).Bind(2, spans.front().start).Step() != SQLITE_DONE) return Fail();
    for (const HistorySpan& span : spans) {
        Statement insert(
            Prepared("INSERT INTO spans (account, start, finish, seen, state) VALUES (?1, ?2, ?3, ?4, ?5)"));
        insert.Bind(1, id).Bind(2, span.start).Bind(5, static_cast<std::int64_t>(span.state));
        if (span.end != HistorySpan::kOpenEnd) insert.Bind(3, span.end);  // unbound: NULL, still open
        insert.Bind(4, span.end != HistorySpan::kOpenEnd ? span.end : span.start);
        if (insert.Step() != SQLITE_DONE) return Fail();
    }
    return Execute("COMMIT");
}

bool HistoryStore::Close(const std::string& account, std::int64_t at) {
    const std::int64_t id = AccountId(account, false);
    if (id == 0 || CloseOpen(id, at)) return true;  // an account never recorded has nothing open
    lastError_ = sqlite3_errmsg(db_);
    return false;
}

std::vector<HistorySpan> HistoryStore::Spans(const std::string& account, std::int64_t from,
                                             std::int64_t to) const {
    std::vector<HistorySpan> spans;
    const std::int64_t id = AccountId(account, false);
    if (id == 0) return spans;
    // Spans never overlap, so none but the last to start by `from` can reach into the period: the
    // scan starts there instead of at the account's first span.
    Statement select(
        Prepared("SELECT start, finish, seen, state FROM spans WHERE account = ?1 AND start < ?3 AND start >="
                 " coalesce((SELECT max(start) FROM spans WHERE account = ?1 AND start <= ?2), ?2)"
                 " AND (finish IS NULL OR finish > ?2) ORDER BY start"));
    select.Bind(1, id).Bind(2, from).Bind(3, to);
    int step = SQLITE_ROW;
    while ((step = select.Step()) == SQLITE_ROW) {
        std::int64_t end = select.Null(1) ? HistorySpan::kOpenEnd : select.Int(1);
        if (end == HistorySpan::kOpenEnd && to - select.Int(2) > kHistoryUnwatchedGap) end = select.Int(2);
        if (end != HistorySpan::kOpenEnd && end <= from) continue;
        spans.push_back({select.Int(0), end, static_cast<int>(select.Int(3))});
    }
    if (step != SQLITE_DONE) lastError_ = sqlite3_errmsg(db_);
    return spans;
}

std::vector<std::string> HistoryStore::Accounts() const {
    std::vector<std::string> accounts;
    Statement select(
        Prepared("SELECT name FROM accounts JOIN spans ON spans.account = accounts.id"
                 " GROUP BY accounts.id ORDER BY max(start) DESC"));
    while (select.Step() == SQLITE_ROW) accounts.push_back(select.Text(0));
    return accounts;
}

int HistoryStore::Prune(std::int64_t before) {
    Statement prune(Prepared("DELETE FROM spans WHERE finish IS NOT NULL AND finish < ?1"));
    if (prune.Bind(1, before).Step() != SQLITE_DONE) {
        lastError_ = sqlite3_errmsg(db_);
        return 0;
    }
    return sqlite3_changes(db_);
}

}  // namespace ostravel
