#include "fakes/fake_service_server.h"

#include <cstring>
#include <stdexcept>

#include "fakes/test_platform.h"

#ifndef _WIN32
#include <cerrno>

#include <arpa/inet.h>
#endif

namespace ostravel::testing {

struct FakeServiceServer::Connection {
    std::mutex mutex;  // guards fd and closed against the reader's own close
    SOCKET fd = INVALID_SOCKET;
    bool closed = false;
    std::atomic<bool> ending{false};  // shut down from the test: the reader stops at its next turn
    bool finished = false;            // its reader is done (guarded by the server's mutex)

    bool Write(const std::string& data) {
        std::lock_guard lock(mutex);
        if (closed) return false;
        std::size_t sent = 0;
        while (sent < data.size()) {
#ifdef _WIN32
            const int n = ::send(fd, data.data() + sent, static_cast<int>(data.size() - sent), 0);
#else
            const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
#endif
            if (n < 0 && InterruptedBySignal()) continue;
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    // An orderly close sends FIN at once. A reset must come from the final close with SO_LINGER
    // {1, 0}: shut the reading side so the reader wakes, sees the end, and closes the socket itself
    // (closing it under the reader's poll would only take effect when that poll returns). Where
    // shutting down does not wake the reader (Winsock), `ending` stops it once nothing more arrives.
    void Shutdown(bool reset) {
        std::lock_guard lock(mutex);
        if (closed) return;
        if (reset) {
            SetAbortiveClose(fd);
            ShutdownRawSocket(fd, true);
        } else {
#ifdef _WIN32
            ShutdownSending(fd);  // Winsock drops what is still unread when the receiving side shuts
#else
            ShutdownRawSocket(fd, false);
#endif
        }
#ifdef _WIN32
        ending = true;
#endif
    }
    void Close() {
        std::lock_guard lock(mutex);
        if (!closed) CloseRawSocket(fd);
        closed = true;
    }
};

FakeServiceServer::FakeServiceServer() {
    listener_ = RawStreamSocket();
    if (listener_ == INVALID_SOCKET) throw std::runtime_error("fake server: socket");
#ifndef _WIN32
    SetIntOption(listener_, SOL_SOCKET, SO_REUSEADDR, 1);  // on Windows it would allow port theft
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0) {
        CloseRawSocket(listener_);
        throw std::runtime_error("fake server: bind/listen");
    }
#ifdef _WIN32
    int length = sizeof address;
#else
    socklen_t length = sizeof address;
#endif
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

FakeServiceServer::~FakeServiceServer() {
    stopping_ = true;
#ifdef _WIN32
    // Winsock wakes a blocked accept only by closing its socket.
    CloseRawSocket(listener_);
    acceptThread_.join();
#else
    ::shutdown(listener_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listener_);
#endif
    {
        std::lock_guard lock(mutex_);
        stalled_ = false;
        for (auto& connection : connections_) connection->Shutdown(false);
    }
    changed_.notify_all();
    // Readers are only added by the accept thread, which has ended.
    for (auto& reader : readers_) reader.join();
}

void FakeServiceServer::AcceptLoop() {
    while (!stopping_) {
#ifdef _WIN32
        const SOCKET fd = ::accept(listener_, nullptr, nullptr);
        if (fd == INVALID_SOCKET) {
            if (!stopping_ && WSAGetLastError() == WSAECONNRESET) continue;
            return;  // shut down
        }
#else
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // shut down
        }
#endif
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        // Long runs make thousands of connections: the finished ones are let go.
        std::vector<std::thread> finished;
        {
            std::lock_guard lock(mutex_);
            for (std::size_t i = connections_.size(); i-- > 0;) {
                if (!connections_[i]->finished) continue;
                finished.push_back(std::move(readers_[i]));
                readers_.erase(readers_.begin() + static_cast<std::ptrdiff_t>(i));
                connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        for (std::thread& reader : finished) reader.join();
        std::lock_guard lock(mutex_);
        connections_.push_back(connection);
        readers_.emplace_back([this, connection] { ReadLoop(connection); });
        ++accepted_;
        changed_.notify_all();
    }
}

std::size_t FakeServiceServer::BlockSizeFor(const std::string& text) {
    if (text == "/disconnected") return 14;
    const std::string word = text.substr(0, text.find(','));
    const std::string suffix = "setconfig";
    if (word.size() >= suffix.size() && word.compare(word.size() - suffix.size(), suffix.size(), suffix) == 0)
        return 1000;
    return 256;
}

void FakeServiceServer::ReadLoop(std::shared_ptr<Connection> connection) {
    std::string pending;
    char buffer[4096];
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (stalled_ && !stopping_) {
                ++pausedReaders_;
                changed_.notify_all();
                changed_.wait(lock, [&] { return !stalled_ || stopping_; });
                --pausedReaders_;
            }
        }
        const int ready = WaitReadable(connection->fd, 100);
        if (ready == 0) {
            if (connection->ending) break;
            continue;
        }
        if (ready < 0 && InterruptedBySignal()) continue;
        const auto n = ::recv(connection->fd, buffer, sizeof buffer, 0);
        if (n < 0 && InterruptedBySignal()) continue;
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        bool logOff = false;
        for (;;) {
            const std::string text = pending.substr(0, pending.find('\0'));
            const std::size_t size = BlockSizeFor(text);
            if (pending.size() < size) break;
            std::string block = pending.substr(0, size);
            pending.erase(0, size);
            Responder responder;
            {
                std::lock_guard lock(mutex_);
                blocks_.push_back(block);
                responder = responder_;
            }
            changed_.notify_all();
            if (text == "/disconnected" && closeOnLogOff_) logOff = true;
            if (responder && !logOff) {
                for (const std::string& chunk : responder(text)) connection->Write(chunk);
            }
        }
        if (logOff) break;
    }
    connection->Close();
    {
        std::lock_guard lock(mutex_);
        ++ended_;
        connection->finished = true;
    }
    changed_.notify_all();
}

void FakeServiceServer::SetResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void FakeServiceServer::SetStalled(bool stalled) {
    {
        std::lock_guard lock(mutex_);
        stalled_ = stalled;
    }
    changed_.notify_all();
}

std::shared_ptr<FakeServiceServer::Connection> FakeServiceServer::Newest() const {
    std::lock_guard lock(mutex_);
    return connections_.empty() ? nullptr : connections_.back();
}

bool FakeServiceServer::Send(const std::string& chunk) {
    auto connection = Newest();
    return connection && connection->Write(chunk);
}

void FakeServiceServer::CloseConnection() {
    if (auto connection = Newest()) connection->Shutdown(false);
}

void FakeServiceServer::ResetConnection() {
    auto connection = Newest();
    if (!connection) return;
    std::unique_lock lock(mutex_);
    const int ended = ended_;
    lock.unlock();
    connection->Shutdown(true);
    // Return once the reset has really gone out.
    lock.lock();
    changed_.wait(lock, [&] { return ended_ > ended; });
}

std::vector<std::string> FakeServiceServer::Blocks() const {
    std::lock_guard lock(mutex_);
    return blocks_;
}

void FakeServiceServer::ForgetBlocks() {
    std::lock_guard lock(mutex_);
    blocks_.clear();
}

std::vector<std::string> FakeServiceServer::Texts() const {
    std::vector<std::string> texts;
    for (const std::string& block : Blocks()) texts.push_back(block.substr(0, block.find('\0')));
    return texts;
}

bool FakeServiceServer::WaitForBlocks(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return blocks_.size() >= count; });
}

bool FakeServiceServer::WaitUntilStalled(int readers, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pausedReaders_ >= readers; });
}

bool FakeServiceServer::WaitForAccepted(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return accepted_.load() >= count; });
}

int FakeServiceServer::Ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

bool FakeServiceServer::WaitForEnded(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ended_ >= count; });
}

}  // namespace ostravel::testing
