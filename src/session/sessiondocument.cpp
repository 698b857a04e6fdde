#include "session/sessiondocument.h"

#include "net/hostconnect.h"

namespace ostravel {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes in the UTF-8 character that `lead` begins; 0 when it cannot begin one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// At most 99 bytes, as the 100-byte buffer holds. A UTF-8 character the limit would split is left
// out whole; bytes that are not UTF-8 are cut at the limit, as they came.
std::string Cut(std::string_view text) {
    const std::size_t limit = SessionDocument::kCredentialCapacity - 1;
    if (text.size() <= limit) return std::string(text);
    std::size_t start = limit;
    while (start > 0 && limit - start < 3 && IsContinuation(static_cast<unsigned char>(text[start]))) --start;
    const std::size_t length = SequenceLength(static_cast<unsigned char>(text[start]));
    if (start < limit && length > limit - start && start + length <= text.size()) {
        bool whole = true;
        for (std::size_t i = start + 1; i < start + length; ++i) {
            whole = whole && IsContinuation(static_cast<unsigned char>(text[i]));
        }
        if (whole) return std::string(text.substr(0, start));
    }
    return std::string(text.substr(0, limit));
}

}  // namespace

SessionDocument::SessionDocument() { ResetSession(); }

SessionState SessionDocument::Snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

int SessionDocument::LoginId() const {
    std::lock_guard lock(mutex_);
    return state_.loginId;
}

bool SessionDocument::HighBitrate() const {
    std::lock_guard lock(mutex_);
    return state_.highBitrate;
}

bool SessionDocument::Disconnected() const {
    std::lock_guard lock(mutex_);
    return state_.disconnected;
}

void SessionDocument::SetLoginId(int loginId) {
    std::lock_guard lock(mutex_);
    state_.loginId = loginId;
}

void SessionDocument::SetDisconnected(bool disconnected) {
    std::lock_guard lock(mutex_);
    state_.disconnected = disconnected;
}

void SessionDocument::SetCredentials(std::string_view userName, std::string_view password) {
    std::lock_guard lock(mutex_);
    state_.userName = Cut(userName);
    state_.password = Cut(password);
}

void SessionDocument::SetStatusReport(int serverState, const std::string& streamIp,
                                      const std::string& streamPort, bool highBitrate) {
    std::lock_guard lock(mutex_);
    if (serverState >= 0) state_.serverState = serverState;
    state_.streamIp = streamIp;
    state_.streamPort = streamPort;
    state_.highBitrate = highBitrate;
}

void SessionDocument::SetServerState(int serverState) {
    std::lock_guard lock(mutex_);
    state_.serverState = serverState;
}

void SessionDocument::SetStreamIp(const std::string& streamIp) {
    std::lock_guard lock(mutex_);
    state_.streamIp = streamIp;
}

void SessionDocument::SetStreamPort(const std::string& streamPort) {
    std::lock_guard lock(mutex_);
    state_.streamPort = streamPort;
}

void SessionDocument::SetHighBitrate(bool highBitrate) {
    std::lock_guard lock(mutex_);
    state_.highBitrate = highBitrate;
}

void SessionDocument::ResetSession() {
    std::lock_guard lock(mutex_);
    state_.loginId = 0;
    state_.highBitrate = false;
    state_.serverState = 3;
    state_.userName.assign(1, ' ');
    state_.password.assign(1, ' ');
    state_.streamIp.clear();
    state_.streamPort.clear();
}

std::string SessionDocument::TextReply() const {
    std::lock_guard lock(mutex_);
    return textReply_;
}

void SessionDocument::SetTextReply(std::string text) {
    std::lock_guard lock(mutex_);
    textReply_ = std::move(text);
}

void SessionDocument::SetView(SessionView* view) {
    std::lock_guard lock(mutex_);
    view_ = view;
}

SessionView* SessionDocument::View() const {
    std::lock_guard lock(mutex_);
    return view_;
}

void SessionDocument::InsertMessage(const std::string& line) const {
    if (SessionView* view = View()) view->InsertMessage(line);
}

void SessionDocument::ClearMessages() const {
    if (SessionView* view = View()) view->ClearMessages();
}

void SessionDocument::SetStatusBox(const std::string& text) const {
    if (SessionView* view = View()) view->SetStatusText(text);
}

bool SessionDocument::HasMainWindow() const {
    SessionView* view = View();
    return view != nullptr && view->HasMainWindow();
}

void SessionDocument::SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) const {
    if (SessionView* view = View()) view->SetTrayIcon(operation, tip, iconId);
}

void SessionDocument::ReportSessionEvent(SessionEvent event) const {
    if (SessionView* view = View()) view->OnSessionEvent(event);
}

void SessionDocument::SetHistory(HistoryRecorder* recorder) {
    std::lock_guard lock(mutex_);
    history_ = recorder;
}

void SessionDocument::SetHistoryAccount(std::string account) {
    std::lock_guard lock(mutex_);
    historyAccount_ = std::move(account);
}

void SessionDocument::RecordHistory(int state, std::int64_t at) const {
    {
        std::lock_guard lock(mutex_);
        if (history_ != nullptr && !historyAccount_.empty()) history_->Record(historyAccount_, state, at);
    }
    if (SessionView* view = View()) view->OnStateChanged(state, at);
}

void SessionDocument::CloseHistory(std::int64_t at) const {
    std::lock_guard lock(mutex_);
    if (history_ != nullptr && !historyAccount_.empty()) history_->Close(historyAccount_, at);
}

void SessionDocument::NotifyStateChange(const StateNotice& notice) const {
    if (!NotifyOnChange()) return;
    if (SessionView* view = View()) view->NotifyStateChange(notice);
}

int SessionDocument::SendOnService(const char* data, int size, int seconds) {
    // One send at a time, so two requests never interleave on the wire.
    std::lock_guard sending(sendMutex_);
    std::shared_lock lock(socketMutex_);
    return serviceSocket_.Send(data, size, seconds);
}

int SessionDocument::SendOnServiceWhileLoggedIn(const char* data, int size, int seconds) {
    std::lock_guard sending(sendMutex_);
    if (LoginId() == 0) return -1;
    std::shared_lock lock(socketMutex_);
    return serviceSocket_.Send(data, size, seconds);
}

int SessionDocument::SendAllOnService(const char* data, int size, int seconds) {
    std::lock_guard sending(sendMutex_);
    std::shared_lock lock(socketMutex_);
    return serviceSocket_.SendAll(data, size, seconds);
}

int SessionDocument::ReceiveOnService(char* buffer, int size, int seconds) {
    std::shared_lock lock(socketMutex_);
    return serviceSocket_.Receive(buffer, size, seconds);
}

SOCKET SessionDocument::ServiceHandle() const {
    std::shared_lock lock(socketMutex_);
    return serviceSocket_.m_socket;
}

bool SessionDocument::HasServiceSocket() const {
    std::shared_lock lock(socketMutex_);
    return serviceSocket_.HasSocket();
}

void SessionDocument::ConnectService(const SocketAddress& address, int seconds, std::stop_token cancel) {
    ConnectService(
        HostAddress{.host = address.DottedQuad(), .port = address.Port(), .kind = HostAddress::Kind::IPv4},
        seconds, std::move(cancel));
}

void SessionDocument::ConnectService(const HostAddress& host, int seconds, std::stop_token cancel) {
    // The connect runs on a socket of its own, outside the lock, so a slow host never blocks a
    // thread that only wants to look at the connection; a socket that never connected is closed.
    BlockingSocket connecting = ConnectToHost(host, seconds, std::move(cancel));
    connecting.SendAtOnce();  // whole request blocks, often two in a row
    std::unique_lock lock(socketMutex_);
    if (serviceSocket_.HasSocket()) serviceSocket_.CloseQuietly();
    serviceSocket_.m_socket = connecting.m_socket;
}

std::string SessionDocument::PortalHost() const {
    std::lock_guard lock(mutex_);
    return state_.portalHost;
}

void SessionDocument::SetPortalHost(std::string host) {
    std::lock_guard lock(mutex_);
    state_.portalHost = std::move(host);
}

void SessionDocument::CloseService() {
    std::unique_lock lock(socketMutex_);
    serviceSocket_.CloseQuietly();
    serviceSocket_.m_socket = BlockingSocket::kNoSocket;
}

bool SessionDocument::CloseServiceIf(SOCKET handle) {
    std::unique_lock lock(socketMutex_);
    if (handle == BlockingSocket::kNoSocket || serviceSocket_.m_socket != handle) return false;
    serviceSocket_.CloseQuietly();
    serviceSocket_.m_socket = BlockingSocket::kNoSocket;
    return true;
}

void SessionDocument::StopReceivingIf(SOCKET handle) {
    std::shared_lock lock(socketMutex_);
    if (handle == BlockingSocket::kNoSocket || serviceSocket_.m_socket != handle) return;
#ifdef _WIN32
    ::shutdown(handle, SD_RECEIVE);
#else
    ::shutdown(handle, SHUT_RD);
#endif
}

void SessionDocument::EndSendingIf(SOCKET handle) {
    std::shared_lock lock(socketMutex_);
    if (handle == BlockingSocket::kNoSocket || serviceSocket_.m_socket != handle) return;
#ifdef _WIN32
    ::shutdown(handle, SD_SEND);
#else
    ::shutdown(handle, SHUT_WR);
#endif
}

}  // namespace ostravel
