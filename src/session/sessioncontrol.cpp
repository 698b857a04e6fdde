#include "session/sessioncontrol.h"

#include "history/historystore.h"
#include "protocol/requests.h"
#include "session/sessiondocument.h"

namespace ostravel {

HostAddress ServiceEndpoint() {
    // The build's setting is checked when the project is configured; a broken one still gives a host
    // whose connect fails with a clear line rather than a crash.
    return ParseHostAddress(OSTRAVEL_SERVICE_ADDRESS, kServicePort)
        .value_or(HostAddress{.host = OSTRAVEL_SERVICE_ADDRESS, .port = kServicePort});
}

HostAddress HostOf(const SocketAddress& address) {
    return HostAddress{.host = address.DottedQuad(), .port = address.Port(), .kind = HostAddress::Kind::IPv4};
}

SessionControl::SessionControl(SessionDocument& doc, HostAddress endpoint, ReceiverFactory makeReceiver)
    : doc_(doc),
      endpoint_(std::move(endpoint)),
      makeReceiver_(std::move(makeReceiver)),
      connectSeconds_(SessionDocument::kConnectSeconds) {}

SessionControl::~SessionControl() { Shutdown(); }

void SessionControl::Retire() {
    if (receiver_) retired_.push_back(std::move(receiver_));
}

void SessionControl::JoinRetired() {
    for (auto& receiver : retired_) {
        receiver->Stop();
        receiver->Join();
    }
    retired_.clear();
}

void SessionControl::LoginProcedure(std::string_view userName, std::string_view password) {
    BeginLogin(userName, password, nullptr);
    JoinConnect();
}

void SessionControl::BeginLogin(std::string_view userName, std::string_view typedPassword,
                                std::function<void()> done) {
    CancelLogin();
    // Copied before anything else: BeginLoginAgain hands in the very strings kept here.
    std::string user(userName), password(typedPassword);
    if (doc_.HasServiceSocket() && !doc_.Disconnected()) {
        // An earlier session is still connected: log it off first.
        if (receiver_ && receiver_->IsRunning()) {
            try {
                receiver_->LogOff();
            } catch (const BlockingSocketException&) {
                // The notice could not go out; the old loop is still told to end below.
            }
        }
        Retire();
    }
    // At most one receiver reads the connection, and an ending receiver must not write the
    // flags of the session that replaces it: wait until every earlier one has ended.
    Retire();
    JoinRetired();
    // Nobody reads the old connection any more; close it instead of leaking it.
    doc_.CloseService();
    doc_.SetCredentials(user, password);
    doc_.SetHistoryAccount(HistoryStore::AccountKey(FormatHostAddress(endpoint_), doc_.Snapshot().userName));
    lastUser_ = std::move(user);
    lastPassword_ = std::move(password);
    hasCredentials_ = true;

    // The connect may take seconds against a slow or silent host: it runs on a thread of its own,
    // so the window stays alive and the user can cancel.
    connectStop_ = std::stop_source();
    connect_ = std::thread([this, session = doc_.Snapshot(), host = endpoint_, seconds = connectSeconds_,
                            cancel = connectStop_.get_token(), done = std::move(done)] {
        try {
            doc_.ConnectService(host, seconds, cancel);
            const auto first = MakeBlock(FirstLoginBlockText(session.userName), kCommandBlockSize);
            doc_.SendOnService(first.data(), static_cast<int>(first.size()), kCommandSendSeconds);
            const auto second =
                MakeBlock(SecondLoginBlockText(session.userName, session.password), kCommandBlockSize);
            doc_.SendOnService(second.data(), static_cast<int>(second.size()), kCommandSendSeconds);
            doc_.SetDisconnected(false);
        } catch (const BlockingSocketException&) {
            // No message here: the Login command reports a connection that did not come about. A
            // connection whose login could not be sent is of no use to anyone.
            doc_.CloseService();
        }
        if (done) done();
    });
}

void SessionControl::CancelLogin() {
    connectStop_.request_stop();
    JoinConnect();
}

void SessionControl::JoinConnect() {
    if (connect_.joinable()) connect_.join();
}

void SessionControl::LoginAccepted() {
    if (!doc_.Disconnected()) {
        if (receiver_ && receiver_->IsRunning()) return;  // never a second reader
        Retire();
        receiver_ = makeReceiver_(doc_);
        receiver_->Start();
        return;
    }
    doc_.ClearMessages();
    doc_.InsertMessage(Translated(kConnectFailedMessage));
    doc_.SetStatusBox("");
}

void SessionControl::Logout() {
    CancelLogin();
    const bool read = receiver_ && receiver_->IsRunning();
    if (receiver_) {
        if (read) receiver_->LogOff();  // may throw: the caller shows it
        Retire();
    }
    // A running receiver closes its connection as it ends; one nobody reads (a login given up just
    // as it connected) is closed here rather than left open until the next login.
    if (!read) doc_.CloseService();
    doc_.SetDisconnected(true);
}

void SessionControl::Shutdown() {
    CancelLogin();
    if (receiver_ && receiver_->IsRunning()) {
        try {
            receiver_->LogOff();
        } catch (const BlockingSocketException&) {
            // Leaving anyway.
        }
    }
    Retire();
    JoinRetired();
}

}  // namespace ostravel
