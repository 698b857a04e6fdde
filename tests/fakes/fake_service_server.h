// An in-process stand-in for the service server on 127.0.0.1 (ephemeral port), scriptable from a
// test: it records every block it receives (framed as the client frames them), sends exact chunks,
// closes or resets the connection, or stops reading.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/blockingsocket.h"

namespace ostravel::testing {

class FakeServiceServer {
public:
    // Answers to one received block: chunks to send back, each written on its own.
    using Responder = std::function<std::vector<std::string>(const std::string& text)>;

    FakeServiceServer();
    ~FakeServiceServer();
    FakeServiceServer(const FakeServiceServer&) = delete;
    FakeServiceServer& operator=(const FakeServiceServer&) = delete;

    unsigned short Port() const { return port_; }

    // Like the host: the log-off notice ends the session and the server closes the connection.
    void SetCloseOnLogOff(bool value) { closeOnLogOff_ = value; }
    void SetResponder(Responder responder);
    // While stalled the server reads nothing, so the client's sends eventually block.
    void SetStalled(bool stalled);
    // Waits until `readers` connections' readers have stopped reading.
    bool WaitUntilStalled(int readers = 1,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Sends one chunk on the newest connection; false if there is none.
    bool Send(const std::string& chunk);
    // Closes the newest connection in an orderly way, or with a reset (returning once it is sent).
    void CloseConnection();
    void ResetConnection();

    // Every block received on any connection, in order: the full block bytes.
    std::vector<std::string> Blocks() const;
    void ForgetBlocks();
    // The text of each block, up to its first NUL.
    std::vector<std::string> Texts() const;
    bool WaitForBlocks(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    int Accepted() const { return accepted_.load(); }
    bool WaitForAccepted(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Connections whose reader saw the client's end (close or reset).
    int Ended() const;
    bool WaitForEnded(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Block size the client uses for a text: 14 for the log-off notice, 1000 for settings, else 256.
    static std::size_t BlockSizeFor(const std::string& text);

private:
    struct Connection;
    void AcceptLoop();
    void ReadLoop(std::shared_ptr<Connection> connection);
    std::shared_ptr<Connection> Newest() const;

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closeOnLogOff_{true};
    std::atomic<int> accepted_{0};
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::vector<std::thread> readers_;
    std::vector<std::string> blocks_;
    Responder responder_;
    bool stalled_ = false;
    int pausedReaders_ = 0;
    int ended_ = 0;
};

}  // namespace ostravel::testing
