#include "history/historystore.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include <sqlite3.h>

namespace ostravel {

namespace fs = std::filesystem;

namespace {

// finish is NULL while the span holds; seen is when a recorder last confirmed it.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS spans ("
    " account TEXT NOT NULL, start INTEGER NOT NULL, finish INTEGER, seen INTEGER NOT NULL,"
    " state INTEGER NOT NULL, PRIMARY KEY (account, start));"
    "CREATE INDEX IF NOT EXISTS spans_open ON spans (account, finish);";
constexpr int kBusyMilliseconds = 5000;  // another recorder's transaction is short

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    ~Statement() { sqlite3_finalize(statement_); }
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
    int Step() { return sqlite3_step(statement_); }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    bool Null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return text != nullptr ? std::string(text, sqlite3_column_bytes(statement_, column)) : std::string();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
};

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &utc);
    return text;
}

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

HistoryStore::~HistoryStore() { sqlite3_close(db_); }

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

bool HistoryStore::CloseOpen(const std::string& account, std::int64_t at) {
    Statement close(db_, "UPDATE spans SET finish = max(start, ?2) WHERE account = ?1 AND finish IS NULL");
    return close.Ok() && close.Bind(1, account).Bind(2, at).Step() == SQLITE_DONE;
}

bool HistoryStore::Record(const std::string& account, int state, std::int64_t at) {
    // IMMEDIATE: the open span is read and replaced under the write lock, so that two recorders of
    // one change write it once.
    if (!Execute("BEGIN IMMEDIATE")) return false;
    Statement open(db_, "SELECT start, seen, state FROM spans WHERE account = ?1 AND finish IS NULL");
    if (!open.Ok()) return Fail();
    if (open.Bind(1, account).Step() == SQLITE_ROW) {
        const std::int64_t start = open.Int(0), seen = open.Int(1);
        const bool stale = at - seen > kHistoryUnwatchedGap;
        if (!stale && open.Int(2) == state) {
            if (at - seen < kHistorySeenEvery) return Execute("COMMIT");  // a repeat: nothing to write
            Statement confirm(db_, "UPDATE spans SET seen = ?2 WHERE account = ?1 AND finish IS NULL");
            if (!confirm.Ok() || confirm.Bind(1, account).Bind(2, at).Step() != SQLITE_DONE) return Fail();
            return Execute("COMMIT");
        }
        // A clock set back must not give a span that ends before it starts.
        at = std::max(at, start);
        if (!CloseOpen(account, stale ? seen : at)) return Fail();
    }
    Statement insert(
        db_,
        "INSERT OR REPLACE INTO spans (account, start, finish, seen, state) VALUES (?1, ?2, NULL, ?2, ?3)");
    if (!insert.Ok() ||
        insert.Bind(1, account).Bind(2, at).Bind(3, static_cast<std::int64_t>(state)).Step() != SQLITE_DONE) {
        return Fail();
    }
    return Execute("COMMIT");
}

bool HistoryStore::Close(const std::string& account, std::int64_t at) {
    if (CloseOpen(account, at)) return true;
    lastError_ = sqlite3_errmsg(db_);
    return false;
}

std::vector<HistorySpan> HistoryStore::Spans(const std::string& account, std::int64_t from,
                                             std::int64_t to) const {
    std::vector<HistorySpan> spans;
    Statement select(db_,
                     "SELECT start, finish, seen, state FROM spans WHERE account = ?1 AND start < ?3"
                     " AND (finish IS NULL OR finish > ?2) ORDER BY start");
    if (!select.Ok()) {
        lastError_ = sqlite3_errmsg(db_);
        return spans;
    }
    select.Bind(1, account).Bind(2, from).Bind(3, to);
    while (select.Step() == SQLITE_ROW) {
        std::int64_t end = select.Null(1) ? HistorySpan::kOpenEnd : select.Int(1);
        if (end == HistorySpan::kOpenEnd && to - select.Int(2) > kHistoryUnwatchedGap) end = select.Int(2);
        if (end != HistorySpan::kOpenEnd && end <= from) continue;
        spans.push_back({select.Int(0), end, static_cast<int>(select.Int(3))});
    }
    return spans;
}

std::vector<std::string> HistoryStore::Accounts() const {
    std::vector<std::string> accounts;
    Statement select(db_, "SELECT account FROM spans GROUP BY account ORDER BY max(start) DESC");
    if (!select.Ok()) {
        lastError_ = sqlite3_errmsg(db_);
        return accounts;
    }
    while (select.Step() == SQLITE_ROW) accounts.push_back(select.Text(0));
    return accounts;
}

int HistoryStore::Prune(std::int64_t before) {
    Statement prune(db_, "DELETE FROM spans WHERE finish IS NOT NULL AND finish < ?1");
    if (!prune.Ok() || prune.Bind(1, before).Step() != SQLITE_DONE) {
        lastError_ = sqlite3_errmsg(db_);
        return 0;
    }
    return sqlite3_changes(db_);
}

}  // namespace ostravel
