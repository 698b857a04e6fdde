#include "session/receiver.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "history/historystore.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/configflows.h"
#include "session/sessiondocument.h"

namespace ostravel {

namespace {

bool Contains(std::string_view text, std::string_view key) {
    return text.find(key) != std::string_view::npos;
}

// The tray's tip and icon for each server state the status report can give, by state.
struct StateTray {
    const char* tip;
    int icon;
};

constexpr char kStateTipPrefix[] = "Quenlor Ostravel - ";

constexpr StateTray kStateTrays[] = {
    {N_("Quenlor Ostravel - Server Down"), kIconServerDown},
    {N_("Quenlor Ostravel - Server Up, Stream Down"), kIconServerUpStreamDown},
    {N_("Quenlor Ostravel - Server Up, Stream Up"), kIconServerUpStreamUp},
};
static_assert(std::size(kStateTrays) == std::size(kStatePhrases));

bool IsSettings(const ReplyRoute* route) { return route != nullptr && route->feedsSettingsDialog; }

// Where, at `from` or later, `text` holds the keyword of a reply that is used whole, or npos.
// Settings never hold one (Save refuses them), so in a settings reply it marks the next reply: the
// host sends the media list right behind the server's settings.
std::size_t FindNextReply(std::string_view text, std::size_t from) {
    std::size_t best = std::string_view::npos;
    for (const ReplyRoute& route : kReplyRoutes) {
        if (!route.NeedsWholeReply()) continue;
        best = std::min(best, text.find(route.keyword, from));
    }
    return best;
}

// A piece that begins with a row's keyword, a login confirmation or the end word starts a reply
// of its own.
bool OpensReply(std::string_view chunk) {
    if (chunk.rfind("Logged In: ", 0) == 0 || FirstToken(chunk) == "/bye") return true;
    return std::any_of(kReplyRoutes.begin(), kReplyRoutes.end(),
                       [&](const ReplyRoute& route) { return chunk.rfind(route.keyword, 0) == 0; });
}

}  // namespace

Receiver::Receiver(SessionDocument& doc, const Clock& clock) : document_(doc), clock_(clock) {}

Receiver::~Receiver() {
    Stop();
    Join();
}

void Receiver::Start() {
    handle_ = document_.ServiceHandle();
    // The idle count starts now, not whenever the new thread first gets to run.
    TouchActivity();
    thread_ = std::thread([this] { Run(); });
}

void Receiver::Stop() {
    running_ = 0;
    stop_.request_stop();                // releases a wait for a window
    document_.StopReceivingIf(handle_);  // and a wait for data
}

void Receiver::Join() {
    if (thread_.joinable()) thread_.join();
}

void Receiver::TouchActivity() {
    lastActivity_ = clock_.Now();
    checkDue_ = 0;  // the connection is alive
}

void Receiver::CheckAlive(std::chrono::seconds within) {
    if (!IsRunning() || document_.LoginId() == 0) return;
    checkDue_ = clock_.Now() + within.count();
    RequestServerStatus();
}

int Receiver::Run() {
    receiveBuffer_.assign(kReceiveBufferSize + 1, '\0');
    BlockingSocket connection;
    connection.m_socket = handle_;
    End end = End::Failed;
    try {
        for (;;) {
            if (running_ == 0) {
                end = End::LoggedOff;
                break;
            }
            currentTime_ = clock_.Now();
            if (currentTime_ - lastActivity_ >= kIdleSeconds) {
                document_.InsertMessage(Translated(kTimedOutMessage));
                EndSilentSession();
                continue;
            }
            const std::int64_t check = checkDue_.load();
            if (check != 0 && currentTime_ >= check) {
                checkDue_ = 0;
                document_.InsertMessage(Translated(kTimedOutMessage));
                EndSilentSession();
                continue;
            }
            RefreshIfDue();
            // While a reply is being gathered, a short silence ends it.
            const bool gathering = !gathered_.empty() || discarding_;
            const auto wait = gathering ? kReplyQuietGap : std::chrono::milliseconds(kReceiveSeconds * 1000);
            const int n = connection.ReceiveWithin(receiveBuffer_.data(), kReceiveBufferSize, wait);
            if (n <= 0) {
                discarding_ = false;
                // Quiet, or closed: whatever was gathered is all there is.
                if (!gathered_.empty() && !Deliver(TakeGathered(), end)) break;
                if (n == 0) {
                    // Either the host closed, or a log-off stopped the reading side.
                    end = running_ == 0 ? End::LoggedOff : End::Closed;
                    break;
                }
                continue;
            }
            receiveBuffer_[n] = '\0';
            std::string chunk(receiveBuffer_.data(), ::strnlen(receiveBuffer_.data(), n));
            // A reply's text ends at its first NUL; whatever came after it in this read is lost.
            pieceLostBytes_ = chunk.size() < static_cast<std::size_t>(n);
            TouchActivity();
            if (discarding_) continue;
            if (!TakePiece(std::move(chunk), end)) break;
        }
    } catch (const BlockingSocketException&) {
        // A failed receive or a failed log-off notice ends the loop like a closed connection.
        end = End::Failed;
    }
    if (end == End::LoggedOff) DrainAfterLogOff(connection);
    EndOfLoop(end);
    return 0;
}

// A socket closed while the host's replies still wait unread is reset, and a reset throws away
// whatever was not yet sent: the log-off notice itself when the host was slow to read it. So what
// is left is read and dropped until the host closes, for a second at most.
void Receiver::DrainAfterLogOff(BlockingSocket& connection) {
    const auto deadline = std::chrono::steady_clock::now() + kLogOffDrain;
    try {
        for (auto now = std::chrono::steady_clock::now(); now < deadline;
             now = std::chrono::steady_clock::now()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
            if (connection.ReceiveWithin(receiveBuffer_.data(), kReceiveBufferSize, wait) == 0) return;
        }
    } catch (const BlockingSocketException&) {
        // Reset or stopped: nothing left to protect.
    }
}

bool Receiver::TakePiece(std::string piece, End& end) {
    for (;;) {
        if (!gathered_.empty() && OpensReply(piece)) {
            // The next reply, glued on by the network: the gathered one is whole.
            if (!Deliver(TakeGathered(), end)) return false;
        }
        if (Gather(piece)) return !GatheredWhole() || Deliver(TakeGathered(), end);
        if (gathered_.empty()) return Deliver(piece, end);
        // The gathered reply ends inside this piece; the rest is a reply of its own.
        if (!Deliver(TakeGathered(), end)) return false;
        if (piece.empty()) return true;
    }
}

bool Receiver::Gather(std::string& piece) {
    if (!gathered_.empty()) {
        if (IsSettings(gatheredRoute_)) {
            // Look from a little before the join, in case a keyword straddles it.
            const std::size_t overlap = std::min<std::size_t>(gathered_.size() - 1, 32);
            const std::string joined = gathered_.substr(gathered_.size() - overlap) + piece;
            if (const std::size_t next = FindNextReply(joined, 0); next != std::string::npos) {
                const std::size_t cut = next < overlap ? 0 : next - overlap;
                gathered_ += piece.substr(0, cut);
                piece.erase(0, cut);
                return false;
            }
        }
        gathered_ += piece;
        // Settings missing a part must not open a dialog whose Save would write the gap back.
        if (pieceLostBytes_ && IsSettings(gatheredRoute_)) gatheredCut_ = true;
        if (gathered_.size() >= kReplyCap ||
            std::chrono::steady_clock::now() - gatheredSince_ >= kReplyTimeCap) {
            gathered_.resize(std::min(gathered_.size(), kReplyCap));
            gatheredCut_ = true;
            discarding_ = true;
        }
        return true;
    }
    const ReplyRoute* route = FindReplyRoute(piece);
    if (FirstToken(piece).empty() || route == nullptr || !route->NeedsWholeReply() ||
        HasErrorKeyword(*route, piece)) {
        return false;
    }
    gatheredRoute_ = route;
    gatheredSince_ = std::chrono::steady_clock::now();
    gatheredCut_ = false;
    if (IsSettings(route)) {
        if (const std::size_t next = FindNextReply(piece, 1); next != std::string::npos) {
            gathered_ = piece.substr(0, next);
            piece.erase(0, next);
            return false;
        }
    }
    // Already whole: its end marker is in this piece.
    if (!route->endMarker.empty() && Contains(piece, route->endMarker)) {
        gatheredRoute_ = nullptr;
        return false;
    }
    gathered_ = std::move(piece);
    gatheredCut_ = pieceLostBytes_ && IsSettings(route);
    return true;
}

bool Receiver::GatheredWhole() const {
    return gatheredCut_ || (gatheredRoute_ != nullptr && !gatheredRoute_->endMarker.empty() &&
                            Contains(gathered_, gatheredRoute_->endMarker));
}

std::string Receiver::TakeGathered() {
    std::string reply = std::move(gathered_);
    gathered_.clear();
    const ReplyRoute* route = gatheredRoute_;
    const bool cut = gatheredCut_;
    gatheredRoute_ = nullptr;
    gatheredCut_ = false;
    if (cut && IsSettings(route)) {
        // Half a configuration saved back would overwrite the rest on the host.
        document_.InsertMessage(Translated(kIncompleteSettingsMessage));
        return {};
    }
    return reply;
}

bool Receiver::Deliver(const std::string& reply, End& end) {
    const std::string_view token = FirstToken(reply);
    if (token.empty()) return true;
    // Once the session is being logged off, a late reply must not write into it.
    if (running_ == 0) {
        end = End::LoggedOff;
        return false;
    }
    Dispatch(reply);
    if (running_ == 0) {
        end = End::LoggedOff;
        return false;
    }
    if (token == "/bye") {
        end = End::Bye;
        return false;
    }
    if (IsLoginRefusal(reply)) document_.ReportSessionEvent(SessionEvent::LoginRefused);
    HandleLoggedIn(reply);
    return true;
}

void Receiver::HandleLoggedIn(std::string reply) {
    reply = reply.substr(0, reply.find('%'));
    if (!Contains(reply, "Logged In: ")) return;
    const std::size_t first = reply.find('=');
    std::string_view id;
    if (first != std::string::npos) {
        const std::size_t second = reply.find('=', first + 1);
        id = std::string_view(reply).substr(
            first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    }
    {
        // A log-off from the UI thread may be resetting the session right now: the id is taken
        // only while this receiver's session is still alive, never after its reset.
        std::lock_guard lock(sessionMutex_);
        if (running_ == 0 || loggedOff_) return;
        document_.SetLoginId(ParseLeadingInt(id));
        document_.InsertMessage(reply.substr(0, first));
        tracker_.SessionStarted();
        document_.ReportSessionEvent(SessionEvent::LoggedIn);
    }
    RequestServerStatus();
    const std::int64_t period = RefreshPeriod();
    refreshDue_ = clock_.Now() + (period == 0 ? kAutoRefreshSeconds : period);
}

// How long after the last status request the next one is due: the live status's period, and while
// reconnection is on never longer than kAutoRefreshSeconds, so that the 30-second rule fires only on a
// dead connection. Nothing while neither asks.
std::int64_t Receiver::RefreshPeriod() const {
    std::int64_t period = 0;
    if (document_.AutoRefresh()) period = document_.RefreshSeconds();
    if (document_.Reconnect())
        period = period == 0 ? kAutoRefreshSeconds : std::min(period, kAutoRefreshSeconds);
    return period;
}

void Receiver::RefreshIfDue() {
    const std::int64_t now = clock_.Now();
    const std::int64_t period = RefreshPeriod();
    if (period == 0 || document_.LoginId() == 0) {
        // Switched off (or nobody logged in): a switch turned on waits a whole period.
        refreshDue_ = now + (period == 0 ? kAutoRefreshSeconds : period);
        return;
    }
    refreshDue_ = std::min(refreshDue_, now + period);  // a shorter period takes effect at once
    if (now < refreshDue_) return;
    refreshDue_ = now + period;
    RequestServerStatus();
}

void Receiver::EndSilentSession() {
    bool lost = false;
    {
        std::lock_guard lock(sessionMutex_);
        lost = !loggedOff_;
        if (lost) AnnounceSessionLost();
    }
    // A notice that cannot go out ends the loop as a failed receive, which reports the loss itself.
    LogOff();
    if (lost) document_.ReportSessionEvent(SessionEvent::Lost);
}

void Receiver::AnnounceSessionLost() {
    const std::int64_t now = clock_.Now();
    if (const auto notice = tracker_.OnSessionLost(now)) {
        document_.NotifyStateChange(*notice);
        // Lost until the session's keeper logs in again or gives up (which ends the watch).
        document_.RecordHistory(kHistoryLost, now);
    }
}

void Receiver::EndOfLoop(End end) {
    // Every end of a session leaves it as a log-off does: nobody reads this connection any more,
    // so it is closed (once, and never a newer session's), and the user is told to log in again
    // unless he logged off himself.
    {
        std::lock_guard lock(sessionMutex_);
        document_.CloseServiceIf(handle_);
        if (!loggedOff_ && end != End::LoggedOff) {
            loggedOff_ = true;
            AnnounceSessionLost();
            document_.ResetSession();
            // With reconnection on, the session's keeper says what happens next instead.
            if (!document_.Reconnect()) document_.InsertMessage(Translated(kSessionEndedMessage));
            document_.ReportSessionEvent(SessionEvent::Lost);
            document_.SetStatusBox("");
            if (document_.HasMainWindow()) {
                document_.SetTrayIcon(TrayOperation::Modify, Translated(kLoggedOffTip), kIconApplication);
            }
        }
        document_.SetDisconnected(true);
        running_ = 0;
    }
    stop_.request_stop();
}

void Receiver::LogOff() {
    {
        // Held across the notice: the host answers it by closing, and the receiver's own end must
        // then find the session already logged off rather than report a lost connection.
        std::lock_guard lock(sessionMutex_);
        // A session that has already ended (the host closed it, "/bye") has nobody left to tell.
        if (loggedOff_) return;
        // From the notice to the reset no other send goes out: nothing of this session follows it.
        document_.HoldingSends([&] {
            const auto notice = MakeBlock(kLogOffNotice, kLogOffBlockSize);
            document_.SendAllOnService(notice.data(), static_cast<int>(notice.size()), kLogOffSendSeconds);
            if (document_.LoginId() != 0) document_.InsertMessage(Translated(kFarewellMessage));
            document_.SetStatusBox("");
            loggedOff_ = true;
            running_ = 0;
            tracker_.OnLoggedOff();
            document_.CloseHistory(clock_.Now());
            document_.ResetSession();
        });
        if (document_.HasMainWindow()) {
            document_.SetTrayIcon(TrayOperation::Modify, Translated(kLoggedOffTip), kIconApplication);
        }
    }
    stop_.request_stop();
    // The notice is the last thing sent. The host answers the end of the stream by closing, which
    // ends the loop's wait at once.
    document_.EndSendingIf(handle_);
}

bool Receiver::RequestServerStatus() {
    const SessionState session = document_.Snapshot();
    if (!session.LoggedIn()) return true;
    // The catalogue's status request, as the Update command sends it.
    const std::string text =
        ComposeCommandRequest(*FindCommand(cmd::kServerStatus), session.userName, session.password);
    if (!FitsBlock(text, kCommandBlockSize)) return false;  // cut short it would be another request
    const auto block = MakeBlock(text, kCommandBlockSize);
    try {
        return document_.SendOnServiceWhileLoggedIn(block.data(), static_cast<int>(block.size()),
                                                    kCommandSendSeconds) >= 0;
    } catch (const BlockingSocketException&) {
        return false;
    }
}

bool Receiver::Dispatch(const std::string& reply) {
    const ReplyRoute* route = FindReplyRoute(reply);
    if (route == nullptr) return false;
    // A status reply restarts the idle count, a refusal too.
    if (route->action == ReplyAction::ServerStatus) TouchActivity();
    return (this->*HandlerFor(*route, reply))(reply);
}

bool Receiver::OnMessageListReply(const std::string& reply) {
    document_.InsertMessage(reply);
    return true;
}

bool Receiver::OnServerStatusReply(const std::string& reply) { return ParseServerStatus(reply); }

bool Receiver::ParseServerStatus(const std::string& reply) {
    const StatusReport report = ParseStatusReport(reply);
    const bool hasMainWindow = document_.HasMainWindow();
    // Stored and shown only while this session lives: a log-off racing with the report wins.
    std::lock_guard lock(sessionMutex_);
    if (loggedOff_) return true;
    if (report.hasStreamIp) document_.SetStreamIp(report.streamIp);
    if (report.hasStreamPort) document_.SetStreamPort(report.streamPort);
    if (report.hasBitrate) document_.SetHighBitrate(report.highBitrate);
    std::string since;  // "Server Up, Stream Up since 14:32", when shown
    if (!report.states.empty()) {
        const int before = tracker_.State();
        const auto notice = tracker_.OnState(report.states.back(), clock_.Now());
        if (tracker_.State() != before) document_.RecordHistory(tracker_.State(), *tracker_.Since());
        if (hasMainWindow && document_.ShowSince() && tracker_.Since())
            since = SinceText(tracker_.State(), *tracker_.Since());
        if (hasMainWindow && notice) document_.NotifyStateChange(*notice);
    }
    if (hasMainWindow) {
        for (std::size_t i = 0; i < report.states.size(); ++i) {
            const int state = report.states[i];
            const StateTray& tray = kStateTrays[state];
            document_.SetServerState(state);
            const bool last = i + 1 == report.states.size();
            document_.SetTrayIcon(
                TrayOperation::Modify,
                last && !since.empty() ? std::string(kStateTipPrefix) + since : Translated(tray.tip),
                tray.icon);
        }
    }
    document_.SetStatusBox(since.empty() ? report.display : report.display + since + "\r\n");
    return true;
}

bool Receiver::OnServerConfigReply(const std::string& reply) {
    document_.WithSettings([&](SettingsRecords& s) { s.server.serverConfigReply = reply; });
    return true;
}

bool Receiver::OnServerContentReply(const std::string& reply) {
    document_.WithSettings([&](SettingsRecords& s) { s.server.serverContentReply = reply; });
    EditServerConfig(document_, stop_.get_token());
    TouchActivity();
    return true;
}

bool Receiver::OnDjConfigReply(const std::string& reply) {
    document_.WithSettings([&](SettingsRecords& s) { s.autoDJ.djConfigReply = reply; });
    EditAutoDJConfig(document_, stop_.get_token());
    TouchActivity();
    return true;
}

bool Receiver::OnTvConfigReply(const std::string& reply) {
    EditAutoTVConfig(document_, reply, stop_.get_token());
    // Closing this dialog counts as activity like the others, so a dialog left open longer than the
    // idle limit does not end the session the moment it closes.
    TouchActivity();
    return true;
}

bool Receiver::ShowTextReply(const std::string& reply, void (SessionView::*show)(const std::string&)) {
    document_.SetTextReply(reply);
    if (SessionView* view = document_.View()) (view->*show)(reply);
    TouchActivity();
    return true;
}

bool Receiver::OnDjLogsReply(const std::string& reply) {
    return ShowTextReply(reply, &SessionView::ShowDjLogs);
}

bool Receiver::OnTvLogsReply(const std::string& reply) {
    return ShowTextReply(reply, &SessionView::ShowTvLogs);
}

bool Receiver::OnAccountSummaryReply(const std::string& reply) {
    return ShowTextReply(reply, &SessionView::ShowAccountSummary);
}

}  // namespace ostravel
