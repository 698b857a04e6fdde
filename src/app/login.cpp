#include "app/login.h"

#include "app/zandreldoc.h"
#include "protocol/requests.h"

namespace ostravel {

CSocketAddress ServiceEndpoint() { return CSocketAddress(OSTRAVEL_SERVICE_ADDRESS, kServicePort); }

SessionControl::SessionControl(CzandrelDoc& doc, CSocketAddress endpoint, ReceiverFactory makeReceiver)
    : doc_(doc), endpoint_(endpoint), makeReceiver_(std::move(makeReceiver)) {}

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
    try {
        if (doc_.ServiceHandle() != 0 && !doc_.Disconnected()) {
            // An earlier session is still connected: log it off first.
            if (receiver_ && receiver_->IsRunning()) {
                try {
                    receiver_->LogOff();
                } catch (const CBlockingSocketException&) {
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

        doc_.SetCredentials(userName, password);
        const SessionState session = doc_.Snapshot();

        doc_.ConnectService(endpoint_);
        const auto first = MakeBlock(FirstLoginBlockText(session.userName), kCommandBlockSize);
        doc_.SendOnService(first.data(), static_cast<int>(first.size()), kCommandSendSeconds);
        const auto second =
            MakeBlock(SecondLoginBlockText(session.userName, session.password), kCommandBlockSize);
        doc_.SendOnService(second.data(), static_cast<int>(second.size()), kCommandSendSeconds);
        doc_.SetDisconnected(false);
    } catch (const CBlockingSocketException&) {
        // No message here: the Login command reports a connection that did not come about.
    }
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
    doc_.InsertMessage(kConnectFailedMessage);
    doc_.SetStatusBox("");
}

void SessionControl::Logout() {
    if (receiver_) {
        if (receiver_->IsRunning()) receiver_->LogOff();  // may throw: the caller shows it
        Retire();
    }
    doc_.SetDisconnected(true);
}

void SessionControl::Shutdown() {
    if (receiver_ && receiver_->IsRunning()) {
        try {
            receiver_->LogOff();
        } catch (const CBlockingSocketException&) {
            // Leaving anyway.
        }
    }
    Retire();
    JoinRetired();
}

}  // namespace ostravel
