#include "ctl/ctlsession.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "session/sessioncontrol.h"
#include "ctl/ctl.h"
#include "ctl/ctloutput.h"
#include "session/receiver.h"
#include "protocol/commands.h"
#include "protocol/replyroutes.h"
#include "protocol/requests.h"
#include "session/sending.h"

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
        if (route.action == action)
            return route.keyword;
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
    if (event.kind == Kind::Message && event.text == kIncompleteSettingsMessage)
        return true;
    const std::string_view keyword = EventKeyword(event);
    return !keyword.empty() && std::find(command.replyKeywords.begin(), command.replyKeywords.end(),
                                         keyword) != command.replyKeywords.end();
}

// A reply that went to the message list although the command expects a window or the status box
// carries an error keyword of its row. A list reply is an error when it holds one of the table's
// error keywords: the list rows have none of their own, but the host words its refusals alike.
bool IsErrorAnswer(const ViewEvent& event, const CtlCommand& command) {
    if (event.kind != Kind::Message)
        return false;
    if (command.output != Output::Message)
        return true;
    return std::any_of(kReplyRoutes.begin(), kReplyRoutes.end(),
                       [&](const ReplyRoute& route) { return HasErrorKeyword(route, event.text); });
}

std::string Seconds(std::chrono::milliseconds timeout) {
    const double seconds = static_cast<double>(timeout.count()) / 1000.0;
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

}  // namespace

SessionResult RunSession(const SessionRequest& request) {
    const CtlCommand& command = *request.command;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + request.timeout;
    const std::string within = " within " + Seconds(request.timeout);
    SessionResult result;
    const auto fail = [&result](int status, std::string reason) {
        result.status = status;
        result.reason = OneLine(reason);
        return result;
    };
    // The receiver's own idle rule (nothing from the host for 30 s) is a time-out too.
    const auto ended = [&fail](const ViewEvent& end, const std::string& context) {
        if (end.text == kTimedOutMessage) {
            return fail(kExitTimeout,
                        context + "the host sent nothing for " + std::to_string(kIdleSeconds) + " s");
        }
        return fail(kExitEnded, context + "the host ended the connection");
    };

    // Declared before the session, which joins every thread that may still use them.
    Signal connected;
    CaptureView view;
    SessionDocument doc;
    doc.SetView(&view);
    SessionControl session(doc, request.endpoint,
                           [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
    const double timeoutSeconds = static_cast<double>(request.timeout.count()) / 1000.0;
    session.SetConnectSeconds(std::max(1, static_cast<int>(std::ceil(timeoutSeconds))));
    const LogoutAtEnd logout(session);

    session.BeginLogin(request.userName, request.password, [&connected] { connected.Set(); });
    if (!connected.WaitUntil(deadline)) {
        session.CancelLogin();
        return fail(kExitTimeout, "no connection to the service server at " + request.endpoint.DottedQuad() +
                                      ":" + std::to_string(request.endpoint.Port()) + within);
    }
    if (doc.Disconnected()) {
        return fail(kExitConnect, "cannot connect to the service server at " + request.endpoint.DottedQuad() +
                                      ":" + std::to_string(request.endpoint.Port()));
    }
    session.LoginAccepted();

    // The login's answer: the receiver takes the login id before it shows the welcome line.
    std::size_t next = 0;
    for (;;) {
        std::size_t at = 0;
        const auto line = view.WaitFor(
            next, [](const ViewEvent& e, std::size_t) { return e.kind == Kind::Message; }, deadline, &at);
        if (!line)
            return fail(kExitTimeout, "the host did not answer the login" + within);
        next = at + 1;
        if (EndsSession(*line))
            return ended(*line, "during the login: ");
        if (doc.LoginId() != 0)
            break;
        if (EventKeyword(*line) == "Failed login.")
            return fail(kExitLogin, "login refused: " + line->text);
    }

    const CommandInfo* info = FindCommand(command.commandId);
    if (info->rule == EnableRule::LoggedInAndVideo) {
        // As in the desktop, AutoTV is offered only once a status report shows a plan that has it;
        // the receiver asks for one right after the login.
        const auto report = view.WaitFor(
            0,
            [](const ViewEvent& e, std::size_t) {
                return e.kind == Kind::Status || EndsSession(e) ||
                       EventKeyword(e) == RouteKeyword(ReplyAction::ServerStatus);
            },
            deadline);
        if (!report)
            return fail(kExitTimeout, "no status report from the host" + within);
        if (EndsSession(*report))
            return ended(*report, std::string(command.words) + ": before the request: ");
        if (!doc.HighBitrate()) {
            return fail(kExitUnavailable,
                        std::string(command.words) +
                            ": this account has no AutoTV (it needs a plan of 250 kbps or more)");
        }
    }

    const std::size_t sentAt = view.Count();
    switch (SendCommand(doc, *info)) {
        case SendResult::Sent:
            break;
        case SendResult::NotLoggedIn:
            // The login was confirmed above: only the session's end since then logs it out.
            return fail(kExitEnded,
                        std::string(command.words) + ": before the request: the host ended the connection");
        case SendResult::Failed:
            return fail(kExitEnded, std::string(command.words) +
                                        ": the request could not be sent: the host ended the connection");
        case SendResult::TooLong:
            return fail(kExitCredentials, std::string(command.words) +
                                              ": the user name and password are too long for the request");
    }

    // The answer comes after the request; the session's end counts wherever it is, since the host
    // may have closed while the request was going out.
    const auto answer = view.WaitFor(
        0,
        [&](const ViewEvent& e, std::size_t index) {
            return EndsSession(e) || (index >= sentAt && AnswersCommand(e, command));
        },
        deadline);
    result.elapsed = Clock::now() - start;
    if (!answer)
        return fail(kExitTimeout, std::string(command.words) + ": no answer from the host" + within);
    if (EndsSession(*answer))
        return ended(*answer, std::string(command.words) + ": before the answer: ");
    result.answer = *answer;
    if (answer->text == kIncompleteSettingsMessage) {
        return fail(kExitRefused, std::string(command.words) + ": the settings reply did not arrive whole");
    }
    if (IsErrorAnswer(*answer, command)) {
        return fail(kExitRefused, std::string(command.words) + ": " + answer->text);
    }
    result.session = doc.Snapshot();
    result.settings = doc.Settings();
    return result;
}

}  // namespace ostravel::ctl
