#include "session/sending.h"

#include <vector>

#include "net/blockingsocket.h"
#include "protocol/commands.h"
#include "session/sessiondocument.h"

namespace ostravel {

namespace {

void OnSendFailed(SessionDocument& doc) {
    doc.InsertMessage(Translated(kSendFailedMessage));
    doc.ResetSession();
    // The session is over: show it as logged off, never as a running stream.
    doc.SetTrayIcon(TrayOperation::Modify, Translated(kLoggedOffTip), kIconApplication);
    // With reconnection on, the receiver is stopped reading at once rather than at the 30-second
    // rule: its end reports the session lost, and the next login follows on the usual delays.
    if (doc.Reconnect()) doc.StopReceivingIf(doc.ServiceHandle());
}

}  // namespace

SendResult SendRequestText(SessionDocument& doc, std::string_view text, std::size_t blockSize) {
    if (doc.LoginId() == 0) return SendResult::NotLoggedIn;
    if (!FitsBlock(text, blockSize)) {
        // Cut short, the host would read another user name, password or action than the user's.
        doc.InsertMessage(blockSize == kSettingsBlockSize ? SettingsTooLongMessage(text.size())
                                                          : CommandTooLongMessage(text.size(), blockSize));
        return SendResult::TooLong;
    }
    const std::vector<char> block = MakeBlock(text, blockSize);
    try {
        // One send; a partial send is not repeated. A log-off that came first wins.
        if (doc.SendOnServiceWhileLoggedIn(block.data(), static_cast<int>(block.size()),
                                           kCommandSendSeconds) < 0) {
            return SendResult::NotLoggedIn;
        }
    } catch (const BlockingSocketException&) {
        OnSendFailed(doc);
        return SendResult::Failed;
    }
    return SendResult::Sent;
}

SendResult SendCommand(SessionDocument& doc, const CommandInfo& command) {
    if (command.kind != CommandKind::Request) return SendResult::NotLoggedIn;
    const SessionState session = doc.Snapshot();
    if (!session.LoggedIn()) return SendResult::NotLoggedIn;
    return SendRequestText(doc, ComposeCommandRequest(command, session.userName, session.password));
}

SendResult SendCommand(SessionDocument& doc, int commandId) {
    const CommandInfo* command = FindCommand(commandId);
    return command ? SendCommand(doc, *command) : SendResult::NotLoggedIn;
}

SendResult SendSettingsRequest(SessionDocument& doc, const std::string& text) {
    // Cut short, the service would store a truncated configuration: SendRequestText refuses it.
    return SendRequestText(doc, text, kSettingsBlockSize);
}

}  // namespace ostravel
