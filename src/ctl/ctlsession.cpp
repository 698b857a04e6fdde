#include "ctl/ctlsession.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "ctl/ctl.h"
#include "ctl/ctloutput.h"
#include "protocol/commands.h"
#include "protocol/replyroutes.h"
#include "protocol/requests.h"
#include "session/receiver.h"
#include "session/sending.h"
#include "session/sessioncontrol.h"

namespace ostravel::ctl {

namespace {

using Clock = std::chrono::steady_clock;
using Kind = ViewEvent::Kind;

// Set by the login's connect thread when its attempt is over.
class Signal {
public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        changed_.notify_all();
    }
    bool WaitUntil(Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [this] { return set_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

// The session always ends with the log-off notice, whichever way this program leaves it.
class LogoutAtEnd {
public:
    explicit LogoutAtEnd(SessionControl& session) : session_(session) {}
    ~LogoutAtEnd() {
        try {
            session_.Logout();
        } catch (const BlockingSocketException&) {
            // The connection is gone already; there is nobody left to tell.
        }
    }
    LogoutAtEnd(const LogoutAtEnd&) = delete;
    LogoutAtEnd& operator=(const LogoutAtEnd&) = delete;

private:
    SessionControl& session_;
};

bool EndsSession(const ViewEvent& event) {
    return event.kind == Kind::Message &&
           (event.text == kSessionEndedMessage || event.text == kTimedOutMessage ||
            event.text == kSendFailedMessage);
}

std::string_view RouteKeyword(ReplyAction action) {
    for (const ReplyRoute& route : kReplyRoutes) {
        if (route.action == action) return route.keyword;
    }
    return {};
}

// The routing row an event came by: a message line by its keyword, a window by what opened it.
std::string_view EventKeyword(const ViewEvent& event) {
    switch (event.kind) {
        case Kind::Message: {
            const ReplyRoute* route = FindReplyRoute(event.text);
            return route == nullptr ? std::string_view() : route->keyword;
        }
        case Kind::Status:
            return RouteKeyword(ReplyAction::ServerStatus);
        case Kind::DjLogs:
            return RouteKeyword(ReplyAction::DjLogs);
        case Kind::TvLogs:
            return RouteKeyword(ReplyAction::TvLogs);
        case Kind::AccountSummary:
            return RouteKeyword(ReplyAction::AccountSummary);
        case Kind::ServerSettings:
            return RouteKeyword(ReplyAction::ServerContent);
        case Kind::DjSettings:
            return RouteKeyword(ReplyAction::DjConfig);
        case Kind::TvSettings:
            return RouteKeyword(ReplyAction::TvConfig);
    }
    return {};
}

bool AnswersCommand(const ViewEvent& event, const CtlCommand& command) {
    if (event.kind == Kind::Message && event.text == kIncompleteSettingsMessage) return true;
    const std::string_view keyword = EventKeyword(event);
    return !keyword.empty() && std::find(command.replyKeywords.begin(), command.replyKeywords.end(),
                                         keyword) != command.replyKeywords.end();
}

// A reply that went to the message list although the command expects a window or the status box
// carries an error keyword of its row. A list reply is an error when it holds one of the table's
// error keywords: the list rows have none of their own, but the host words its refusals alike.
bool IsErrorAnswer(const ViewEvent& event, const CtlCommand& command) {
    if (event.kind != Kind::Message) return false;
    if (command.output != Output::Message) return true;
    return std::any_of(kReplyRoutes.begin(), kReplyRoutes.end(),
                       [&](const ReplyRoute& route) { return HasErrorKeyword(route, event.text); });
}

// Parts of the reasons: "<command>: before the request: the host ended the connection".
constexpr const char* kBeforeRequest = N_("before the request: ");
constexpr const char* kHostEnded = N_("the host ended the connection");

std::string Seconds(std::chrono::milliseconds timeout) {
    const double seconds = static_cast<double>(timeout.count()) / 1000.0;
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// How a session ended before its answer: the exit status and why.
struct Stop {
    int status;
    std::string reason;
};

// One session, a step at a time. Each step returns nothing when the session goes on.
class CtlSession {
public:
    explicit CtlSession(const SessionRequest& request);

    std::optional<Stop> Connect();
    std::optional<Stop> AwaitLogin();
    // AutoTV is offered only on a plan that has it.
    std::optional<Stop> CheckVideoPlan();
    std::optional<Stop> SendRequest();
    // Fills `result` with the answer (and what the answer left) or with what came instead.
    std::optional<Stop> AwaitAnswer(SessionResult& result);

private:
    Stop Ended(const ViewEvent& end, const std::string& context) const;
    std::string Words() const { return std::string(command_.words); }

    const SessionRequest& request_;
    const CtlCommand& command_;
    const Clock::time_point start_;
    const Clock::time_point deadline_;
    const std::string within_;
    std::size_t sentAt_ = 0;
    // Declared before the session, which joins every thread that may still use them.
    Signal connected_;
    CaptureView view_;
    SessionDocument doc_;
    SessionControl session_;
    const LogoutAtEnd logout_;
};

CtlSession::CtlSession(const SessionRequest& request)
    : request_(request),
      command_(*request.command),
      start_(Clock::now()),
      deadline_(start_ + request.timeout),
      within_(FillIn(Translated(N_(" within {1}")), {Seconds(request.timeout)})),
      session_(doc_, request.endpoint, [](SessionDocument& d) { return std::make_unique<Receiver>(d); }),
      logout_(session_) {
    doc_.SetView(&view_);
    const double timeoutSeconds = static_cast<double>(request.timeout.count()) / 1000.0;
    session_.SetConnectSeconds(std::max(1, static_cast<int>(std::ceil(timeoutSeconds))));
}

// The receiver's own idle rule (nothing from the host for 30 s) is a time-out too.
Stop CtlSession::Ended(const ViewEvent& end, const std::string& context) const {
    if (end.text == kTimedOutMessage)
        return {kExitTimeout, context + FillIn(Translated(N_("the host sent nothing for {1} s")),
                                               {std::to_string(kIdleSeconds)})};
    return {kExitEnded, context + Translated(kHostEnded)};
}

std::optional<Stop> CtlSession::Connect() {
    const std::string endpoint = FormatHostAddress(request_.endpoint);
    session_.BeginLogin(request_.userName, request_.password, [this] { connected_.Set(); });
    if (!connected_.WaitUntil(deadline_)) {
        session_.CancelLogin();
        return Stop{
            kExitTimeout,
            FillIn(Translated(N_("no connection to the service server at {1}")), {endpoint}) + within_};
    }
    if (doc_.Disconnected()) {
        return Stop{kExitConnect,
                    FillIn(Translated(N_("cannot connect to the service server at {1}")), {endpoint})};
    }
    session_.LoginAccepted();
    return std::nullopt;
}

// The login's answer: the receiver takes the login id before it shows the welcome line.
std::optional<Stop> CtlSession::AwaitLogin() {
    std::size_t next = 0;
    for (;;) {
        std::size_t at = 0;
        const auto line = view_.WaitFor(
            next, [](const ViewEvent& e, std::size_t) { return e.kind == Kind::Message; }, deadline_, &at);
        if (!line) return Stop{kExitTimeout, Translated(N_("the host did not answer the login")) + within_};
        next = at + 1;
        if (EndsSession(*line)) return Ended(*line, Translated(N_("during the login: ")));
        if (doc_.LoginId() != 0) return std::nullopt;
        if (EventKeyword(*line) == "Failed login.")
            return Stop{kExitLogin, Translated(kLoginRefused) + line->text};
    }
}

std::optional<Stop> CtlSession::CheckVideoPlan() {
    if (FindCommand(command_.commandId)->rule != EnableRule::LoggedInAndVideo) return std::nullopt;
    // As in the desktop, AutoTV is offered only once a status report shows a plan that has it; the
    // receiver asks for one right after the login.
    const auto report = view_.WaitFor(
        0,
        [](const ViewEvent& e, std::size_t) {
            return e.kind == Kind::Status || EndsSession(e) ||
                   EventKeyword(e) == RouteKeyword(ReplyAction::ServerStatus);
        },
        deadline_);
    if (!report) return Stop{kExitTimeout, Translated(N_("no status report from the host")) + within_};
    if (EndsSession(*report)) return Ended(*report, Words() + ": " + Translated(kBeforeRequest));
    if (!doc_.HighBitrate())
        return Stop{kExitUnavailable,
                    Words() + ": " +
                        Translated(N_("this account has no AutoTV (it needs a plan of 250 kbps or more)"))};
    return std::nullopt;
}

std::optional<Stop> CtlSession::SendRequest() {
    sentAt_ = view_.Count();
    switch (SendCommand(doc_, *FindCommand(command_.commandId))) {
        case SendResult::Sent:
            return std::nullopt;
        case SendResult::NotLoggedIn:
            // The login was confirmed above: only the session's end since then logs it out.
            return Stop{kExitEnded, Words() + ": " + Translated(kBeforeRequest) + Translated(kHostEnded)};
        case SendResult::Failed:
            return Stop{kExitEnded, Words() + ": " + Translated(N_("the request could not be sent: ")) +
                                        Translated(kHostEnded)};
        case SendResult::TooLong:
            return Stop{
                kExitCredentials,
                Words() + ": " + Translated(N_("the user name and password are too long for the request"))};
    }
    return std::nullopt;
}

std::optional<Stop> CtlSession::AwaitAnswer(SessionResult& result) {
    // The answer comes after the request; the session's end counts wherever it is, since the host
    // may have closed while the request was going out.
    const auto answer = view_.WaitFor(
        0,
        [&](const ViewEvent& e, std::size_t index) {
            return EndsSession(e) || (index >= sentAt_ && AnswersCommand(e, command_));
        },
        deadline_);
    result.elapsed = Clock::now() - start_;
    if (!answer)
        return Stop{kExitTimeout, Words() + ": " + Translated(N_("no answer from the host")) + within_};
    if (EndsSession(*answer)) return Ended(*answer, Words() + ": " + Translated(N_("before the answer: ")));
    result.answer = *answer;
    if (answer->text == kIncompleteSettingsMessage)
        return Stop{kExitRefused, Words() + ": " + Translated(N_("the settings reply did not arrive whole"))};
    if (IsErrorAnswer(*answer, command_)) return Stop{kExitRefused, Words() + ": " + answer->text};
    result.session = doc_.Snapshot();
    result.settings = doc_.Settings();
    return std::nullopt;
}

}  // namespace

SessionResult RunSession(const SessionRequest& request) {
    SessionResult result;
    CtlSession session(request);
    std::optional<Stop> stop = session.Connect();
    if (!stop) stop = session.AwaitLogin();
    if (!stop) stop = session.CheckVideoPlan();
    if (!stop) stop = session.SendRequest();
    if (!stop) stop = session.AwaitAnswer(result);
    if (stop) {
        result.status = stop->status;
        result.reason = OneLine(stop->reason);
    }
    return result;
}

}  // namespace ostravel::ctl
