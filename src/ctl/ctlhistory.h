// `ostravel-ctl history`: the station history of one account, read from the file that watch and the
// desktop program write, without a password or a connection.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace ostravel::ctl {

inline constexpr int kDefaultHistoryDays = 7;

enum class HistoryFormat { Table, Csv, Json };

struct HistoryRequest {
    std::filesystem::path file;
    std::string account;             // HistoryStore::AccountKey
    int days = kDefaultHistoryDays;  // the period ends now
    HistoryFormat format = HistoryFormat::Table;
    std::int64_t now = 0;  // UTC seconds
};

// Prints the period's spans and what they sum up to; kExitOk, or kExitLocal with the reason in
// `error` when the file cannot be read. A file not made yet is an empty history.
int PrintHistory(const HistoryRequest& request, std::ostream& out, std::string& error);

}  // namespace ostravel::ctl
