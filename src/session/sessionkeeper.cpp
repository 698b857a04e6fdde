#include "session/sessionkeeper.h"

#include <utility>

#include "protocol/requests.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"
#include "session/statustracker.h"

namespace ostravel {

StateNotice MakeBackOnlineNotice(std::int64_t since) {
    StateNotice notice;
    notice.state = kStateBackOnline;
    notice.title = Translated(N_("Back Online"));
    notice.text = FillIn(Translated(N_("Back online since {1}.")), {TimeOfDay(since)});
    notice.icon = kIconApplication;
    notice.since = since;
    return notice;
}

SessionKeeper::SessionKeeper(SessionDocument& doc, SessionControl& session, ReconnectTimer& timer,
                             TaskPoster post, const Clock& clock, Reconnection::Random random)
    : doc_(doc),
      session_(session),
      timer_(timer),
      post_(std::move(post)),
      clock_(clock),
      reconnection_(clock, std::move(random)) {}

SessionKeeper::~SessionKeeper() {
    *alive_ = false;
    timer_.Stop();
}

void SessionKeeper::OnEvent(SessionEvent event) {
    switch (event) {
        case SessionEvent::LoggedIn:
            reconnection_.LoggedIn();
            automatic_ = false;
            refusedByHand_ = false;
            if (reconnecting_) {
                reconnecting_ = false;
                doc_.NotifyStateChange(MakeBackOnlineNotice(clock_.Now()));
            }
            return;
        case SessionEvent::Lost:
            SessionLost();
            return;
        case SessionEvent::LoginRefused:
            // A refusal of the user's own login is his to read in the message list; the end of
            // that connection is no session lost.
            if (automatic_) {
                Refused();
            } else {
                refusedByHand_ = true;
            }
            return;
    }
}

void SessionKeeper::SessionLost() {
    // Whenever no login follows, nobody watches the station from now on.
    if (std::exchange(refusedByHand_, false) || !doc_.Reconnect() || !session_.HasCredentials()) {
        doc_.CloseHistory(clock_.Now());
        return;
    }
    const auto delay = reconnection_.SessionLost();
    automatic_ = false;
    if (!delay) {
        reconnecting_ = false;
        doc_.CloseHistory(clock_.Now());
        doc_.InsertMessage(Translated(reconnection_.StopReason().c_str()));
        return;
    }
    reconnecting_ = true;
    doc_.InsertMessage(ReconnectingMessage(*delay));
    if (doc_.HasMainWindow())
        doc_.SetTrayIcon(TrayOperation::Modify, Translated(kReconnectingTip), kIconApplication);
    timer_.Start(*delay);
}

void SessionKeeper::Due() {
    if (reconnecting_ && reconnection_.CurrentState() == Reconnection::State::Waiting) Attempt();
}

void SessionKeeper::Attempt() {
    automatic_ = true;
    const unsigned attempt = ++attempt_;
    session_.BeginLoginAgain([post = post_, alive = alive_, keeper = this, attempt] {
        post([alive, keeper, attempt] {
            if (*alive) keeper->Attempted(attempt);
        });
    });
}

void SessionKeeper::LoginAutomatically(std::string_view userName, std::string_view password) {
    UserActed();
    automatic_ = true;
    const unsigned attempt = ++attempt_;
    session_.BeginLogin(userName, password, [post = post_, alive = alive_, keeper = this, attempt] {
        post([alive, keeper, attempt] {
            if (*alive) keeper->Attempted(attempt);
        });
    });
}

void SessionKeeper::Attempted(unsigned attempt) {
    if (attempt != attempt_ || !automatic_) return;  // given up, or the user acted since
    if (!doc_.Disconnected()) {
        session_.LoginAccepted();  // the receiver takes it from here
        return;
    }
    if (!reconnecting_ && !doc_.Reconnect()) {
        // The login at start found no host: said as the Login command says it.
        automatic_ = false;
        session_.LoginAccepted();
        return;
    }
    // The host is still away (or, at start, the network not up yet): the next, longer delay.
    reconnecting_ = true;
    SessionLost();
}

void SessionKeeper::Refused() {
    automatic_ = false;
    const bool wasReconnecting = reconnecting_;
    reconnecting_ = false;
    timer_.Stop();
    doc_.CloseHistory(clock_.Now());
    reconnection_.LoginRefused();
    // Nobody is logged in on this connection, and nobody will be.
    try {
        session_.Logout();
    } catch (const BlockingSocketException&) {
        // Closed already; nothing to tell the host.
    }
    if (doc_.HasMainWindow())
        doc_.SetTrayIcon(TrayOperation::Modify, Translated(kLoggedOffTip), kIconApplication);
    if (wasReconnecting) {
        doc_.InsertMessage(Translated(reconnection_.StopReason().c_str()));
    } else if (refused_) {
        refused_();  // the login at start: the user is asked for the right credentials
    }
}

void SessionKeeper::UserActed() {
    if (reconnecting_) doc_.CloseHistory(clock_.Now());
    ++attempt_;  // a login of ours still under way no longer counts
    automatic_ = false;
    reconnecting_ = false;
    refusedByHand_ = false;
    timer_.Stop();
    reconnection_.UserActed();
}

void SessionKeeper::CheckNow() {
    if (reconnecting_ && reconnection_.CurrentState() == Reconnection::State::Waiting && !automatic_) {
        timer_.Stop();
        Attempt();
        return;
    }
    if (ReceiverThread* receiver = session_.CurrentReceiver(); receiver != nullptr && receiver->IsRunning())
        receiver->CheckAlive(kCheckAnswerTime);
}

}  // namespace ostravel
