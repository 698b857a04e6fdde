#include "session/chat.h"

#include <cstring>

#include "protocol/requests.h"
#include "session/sessiondocument.h"

#ifndef _WIN32
#include <cerrno>
#endif

namespace ostravel {

namespace {

// Without a connection there is nothing to send on; say so as the socket would.
void RequireConnection(const SessionDocument& doc, const char* operation) {
    if (doc.HasServiceSocket()) return;
#ifdef _WIN32
    throw BlockingSocketException(operation, WSAENOTCONN);
#else
    throw BlockingSocketException(operation, ENOTCONN);
#endif
}

}  // namespace

int SendChatLine(SessionDocument& doc, const std::string& message) {
    RequireConnection(doc, "Send");
    return doc.SendOnService(message.data(), static_cast<int>(message.size()), kChatSendSeconds);
}

void RunChatConnect(SessionDocument& doc, const std::function<void(const std::string&)>& show) {
    static constexpr char kHello[] = "Send";
    RequireConnection(doc, "Send");
    doc.SendOnService(kHello, 4, kChatSendSeconds);
    for (;;) {
        char incoming[kChatReceiveSize + 1];
        const int received = doc.ReceiveOnService(incoming, kChatReceiveSize, kChatReceiveSeconds);
        if (received <= 0) return;
        incoming[received] = '\0';
        const std::string text(incoming, std::strlen(incoming));
        show(text);
        if (text == "done") return;
    }
}

std::string PrivateMessageText(const std::string& recipient, const std::string& message) {
    return "==> " + recipient + " " + message;
}

std::vector<char> PrivateMessageBlock(const std::string& recipient, const std::string& message) {
    return MakeBlock(PrivateMessageText(recipient, message), kCommandBlockSize);
}

void SendPrivateMessage(SessionDocument& doc, const std::string& recipient, const std::string& message) {
    const std::vector<char> block = PrivateMessageBlock(recipient, message);
    RequireConnection(doc, "Send");
    doc.SendOnService(block.data(), static_cast<int>(block.size()), kCommandSendSeconds);
}

}  // namespace ostravel
