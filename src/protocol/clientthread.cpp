#include "protocol/clientthread.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>

#include "app/zandreldoc.h"
#include "protocol/commands.h"
#include "protocol/configflows.h"
#include "protocol/requests.h"

namespace ostravel {

std::string_view FirstToken(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    constexpr std::string_view separators = ": ,\t\n";
    const std::size_t begin = text.find_first_not_of(separators);
    if (begin == std::string_view::npos) return {};
    const std::size_t end = text.find_first_of(separators, begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

int ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string NthWord(std::string_view field, std::size_t index) {
    std::size_t begin = 0;
    for (std::size_t word = 0; word < index; ++word) {
        const std::size_t blank = field.find(' ', begin);
        if (blank == std::string_view::npos) return {};
        begin = blank + 1;
    }
    const std::size_t end = field.find(' ', begin);
    return std::string(field.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

namespace {

bool Contains(std::string_view text, std::string_view key) { return text.find(key) != std::string_view::npos; }

bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> keys) {
    return std::any_of(keys.begin(), keys.end(), [&](std::string_view key) { return Contains(text, key); });
}

struct StatePhrase {
    const char* phrase;
    int state;
    const char* tip;
    int icon;
};

constexpr StatePhrase kStatePhrases[] = {
    {"Server is currently offline", 0, "Quenlor Ostravel - Server Down", kIconServerDown},
    {"Server is Online. Connect a DJ", 1, "Quenlor Ostravel - Server Up, Stream Down", kIconServerUpStreamDown},
    {"Server is currently up and public", 2, "Quenlor Ostravel - Server Up, Stream Up", kIconServerUpStreamUp},
};

}  // namespace

ClientThread::ClientThread(CzandrelDoc& doc, const Clock& clock) : document_(doc), clock_(clock) {}

ClientThread::~ClientThread() {
    Stop();
    Join();
}

void ClientThread::Start() {
    handle_ = document_.ServiceHandle();
    // The idle count starts now, not whenever the new thread first gets to run.
    TouchActivity();
    thread_ = std::thread([this] { Run(); });
}

void ClientThread::Stop() {
    running_ = 0;
    stop_.request_stop();  // releases a wait for a window
}

void ClientThread::Join() {
    if (thread_.joinable()) thread_.join();
}

void ClientThread::TouchActivity() { lastActivity_ = clock_.Now(); }

int ClientThread::Run() {
    receiveBuffer_.assign(kReceiveBufferSize + 1, '\0');
    CBlockingSocket connection;
    connection.m_socket = handle_;
    try {
        while (running_ != 0) {
            currentTime_ = clock_.Now();
            if (currentTime_ - lastActivity_ >= kIdleSeconds) {
                document_.InsertMessage(kTimedOutMessage);
                LogOff();
            }
            receiveBuffer_[0] = '\0';
            const int n = connection.Receive(receiveBuffer_.data(), kReceiveBufferSize, kReceiveSeconds);
            if (n == 0) break;  // the server closed the connection
            std::string reply;
            if (n > 0) {
                receiveBuffer_[n] = '\0';
                reply.assign(receiveBuffer_.data(), ::strnlen(receiveBuffer_.data(), n));
                TouchActivity();
            }
            const std::string_view token = FirstToken(n > 0 ? std::string_view(reply) : std::string_view());
            if (token.empty()) continue;
            // Once the session is being logged off, a late reply must not write into it.
            if (running_ == 0) break;
            Dispatch(reply);
            if (running_ == 0) break;
            if (token == "/bye") {
                running_ = 0;
                break;
            }
            HandleLoggedIn(std::move(reply));
        }
    } catch (const CBlockingSocketException&) {
        // A failed receive or a failed log-off notice ends the loop like a closed connection.
    }
    EndOfLoop();
    return 0;
}

void ClientThread::HandleLoggedIn(std::string reply) {
    reply = reply.substr(0, reply.find('%'));
    if (!Contains(reply, "Logged In: ")) return;
    const std::size_t first = reply.find('=');
    std::string_view id;
    if (first != std::string::npos) {
        const std::size_t second = reply.find('=', first + 1);
        id = std::string_view(reply).substr(first + 1, second == std::string::npos ? std::string::npos
                                                                                    : second - first - 1);
    }
    {
        // A log-off from the UI thread may be resetting the session right now: the id is taken
        // only while this receiver's session is still alive, never after its reset.
        std::lock_guard lock(sessionMutex_);
        if (running_ == 0) return;
        document_.SetLoginId(ParseLeadingInt(id));
        document_.InsertMessage(reply.substr(0, first));
    }
    RequestServerStatus();
}

void ClientThread::EndOfLoop() {
    // A connection the server closed, or that failed, is closed here. One this receiver logged off is
    // abandoned: nobody reads it any more, so it is closed too (never a newer session's connection).
    if (running_ != 0 || loggedOff_) document_.CloseServiceIf(handle_);
    document_.SetDisconnected(true);
    running_ = 0;
}

void ClientThread::LogOff() {
    const auto notice = MakeBlock(kLogOffNotice, kLogOffBlockSize);
    document_.SendAllOnService(notice.data(), static_cast<int>(notice.size()), kLogOffSendSeconds);
    if (document_.LoginId() != 0) document_.InsertMessage(kFarewellMessage);
    document_.SetStatusBox("");
    {
        std::lock_guard lock(sessionMutex_);
        loggedOff_ = true;
        running_ = 0;
        document_.ResetSession();
    }
    stop_.request_stop();
    if (document_.HasMainWindow()) {
        document_.SetTrayIcon(TrayOperation::Modify, kLoggedOffTip, kIconApplication);
    }
}

bool ClientThread::RequestServerStatus() {
    const SessionState session = document_.Snapshot();
    if (!session.LoggedIn()) return true;
    const auto block = MakeBlock(
        ComposeCommandRequest("shoutcast_server_status,", session.userName, session.password), kCommandBlockSize);
    try {
        document_.SendOnService(block.data(), static_cast<int>(block.size()), kCommandSendSeconds);
    } catch (const CBlockingSocketException&) {
        return false;
    }
    return true;
}

bool ClientThread::Dispatch(const std::string& reply) {
    auto toList = [&] {
        document_.InsertMessage(reply);
        return true;
    };
    if (Contains(reply, "Shoutcast server getconfig")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast server", "Error - "})) return toList();
        return OnServerConfigReply(reply);
    }
    if (Contains(reply, "Shoutcast server content")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast server", "Error - "})) return toList();
        return OnServerContentReply(reply);
    }
    if (Contains(reply, "Shoutcast server")) return toList();
    if (Contains(reply, "Shoutcast dj getconfig")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast dj getconfig", "Error - "})) return toList();
        return OnDjConfigReply(reply);
    }
    if (Contains(reply, "Shoutcast AutoDJ Logs")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast AutoDJ Logs", "Error - ",
                                "Disabled for demo user"})) {
            return toList();
        }
        return OnDjLogsReply(reply);
    }
    if (Contains(reply, "Shoutcast AutoTV Logs")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast AutoTV Logs", "Error - ",
                                "Disabled for demo user"})) {
            return toList();
        }
        return OnTvLogsReply(reply);
    }
    if (Contains(reply, "Shoutcast Account Summary")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast Account Summary", "Error - "})) {
            return toList();
        }
        return OnAccountSummaryReply(reply);
    }
    if (Contains(reply, "Shoutcast AutoDJ")) return toList();
    if (Contains(reply, "Shoutcast tv getconfig")) {
        if (ContainsAny(reply, {"Cannot retreive", "Invalid Shoutcast", "Error - "})) return toList();
        return ParseAutoTVConfig(reply);
    }
    if (Contains(reply, "Shoutcast AutoTV")) return toList();
    if (Contains(reply, "Server Status:")) {
        TouchActivity();
        if (ContainsAny(reply, {"Error -", "Account currently suspended", "Can not retreive status",
                                "Invalid login"})) {
            return toList();
        }
        return ParseServerStatus(reply);
    }
    if (Contains(reply, "Failed login.")) return toList();
    return false;
}

bool ClientThread::ParseServerStatus(const std::string& reply) {
    std::string_view statusData;
    if (const std::size_t begin = reply.find("Server Status"); begin != std::string::npos) {
        if (const std::size_t end = reply.find("Status End", begin); end != std::string::npos) {
            statusData = std::string_view(reply).substr(begin, end - begin);
        }
    }
    const bool streamHidden =
        Contains(statusData, "Server is currently offline") || Contains(statusData, "Server is Online. Connect a DJ");
    const bool hasMainWindow = document_.HasMainWindow();
    std::string insertString;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t quote = statusData.find('"', begin);
        const std::string_view field =
            statusData.substr(begin, quote == std::string_view::npos ? std::string_view::npos : quote - begin);
        bool shown = true;
        if (Contains(field, "Stream IP:")) {
            document_.SetStreamIp(NthWord(field, 2));
            shown = !streamHidden;
        } else if (Contains(field, "Stream Port:")) {
            document_.SetStreamPort(NthWord(field, 2));
            shown = !streamHidden;
        } else if (Contains(field, "Server Status:")) {
            if (hasMainWindow) {
                for (const StatePhrase& phrase : kStatePhrases) {
                    if (!Contains(field, phrase.phrase)) continue;
                    document_.SetServerState(phrase.state);
                    document_.SetTrayIcon(TrayOperation::Modify, phrase.tip, phrase.icon);
                }
            }
        } else if (Contains(field, "Max. Bitrate:")) {
            document_.SetHighBitrate(ParseLeadingInt(NthWord(field, 2)) >= 250);
            shown = !streamHidden;
        }
        if (shown) {
            insertString += field;
            insertString += "\r\n";
        }
        if (quote == std::string_view::npos) break;
        begin = quote + 1;
    }
    document_.SetStatusBox(insertString);
    return true;
}

bool ClientThread::OnServerConfigReply(const std::string& reply) {
    document_.WithSettings([&](SettingsRecords& s) { s.server.serverConfigReply = reply; });
    return true;
}

bool ClientThread::OnServerContentReply(const std::string& reply) {
    document_.WithSettings([&](SettingsRecords& s) { s.server.serverContentReply = reply; });
    EditServerConfig(document_, stop_.get_token());
    TouchActivity();
    return true;
}

bool ClientThread::OnDjConfigReply(const std::string& reply) {
    document_.WithSettings([&](SettingsRecords& s) { s.autoDJ.djConfigReply = reply; });
    EditAutoDJConfig(document_, stop_.get_token());
    TouchActivity();
    return true;
}

bool ClientThread::ParseAutoTVConfig(const std::string& reply) {
    EditAutoTVConfig(document_, reply, stop_.get_token());
    // Closing this dialog counts as activity like the others, so a dialog left open longer than the
    // idle limit does not end the session the moment it closes.
    TouchActivity();
    return true;
}

bool ClientThread::ShowTextReply(const std::string& reply,
                                 void (SessionView::*show)(const std::string&, std::stop_token)) {
    document_.SetTextReply(reply);
    if (SessionView* view = document_.View()) (view->*show)(reply, stop_.get_token());
    TouchActivity();
    return true;
}

bool ClientThread::OnDjLogsReply(const std::string& reply) { return ShowTextReply(reply, &SessionView::ShowDjLogs); }

bool ClientThread::OnTvLogsReply(const std::string& reply) { return ShowTextReply(reply, &SessionView::ShowTvLogs); }

bool ClientThread::OnAccountSummaryReply(const std::string& reply) {
    return ShowTextReply(reply, &SessionView::ShowAccountSummary);
}

}  // namespace ostravel
