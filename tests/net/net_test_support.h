// Helpers for socket tests: loopback connections, waiting on kernel state with a deadline.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/test_platform.h"
#include "net/blockingsocket.h"

namespace nettest {

using namespace std::chrono_literals;
using ostravel::testing::SetLastSocketError;
using Errors = ostravel::testing::SocketErrors;

// A socket that is closed when the test ends, whatever happened.
struct OwnedSocket : BlockingSocket {
    OwnedSocket() = default;
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;
    ~OwnedSocket() { CloseQuietly(); }
};

struct OwnedHttpSocket : HttpBlockingSocket {
    ~OwnedHttpSocket() { CloseQuietly(); }
};

// A TCP listener on 127.0.0.1 with an ephemeral port.
struct Listener {
    OwnedSocket socket;
    SocketAddress address;

    explicit Listener(int receiveBuffer = 0) {
        socket.Create();
        if (receiveBuffer > 0) {  // inherited by accepted sockets
            ostravel::testing::SetIntOption(socket.m_socket, SOL_SOCKET, SO_RCVBUF, receiveBuffer);
        }
        socket.Bind(SocketAddress("127.0.0.1", 0));
        socket.Listen();
        socket.GetSockName(&address);
    }
};

// Connects `client` (already created) to a fresh listener and accepts into `server`.
inline void ConnectPair(BlockingSocket& client, BlockingSocket& server, int receiveBuffer = 0) {
    Listener listener(receiveBuffer);
    client.Connect(listener.address);  // completes in the backlog, no thread needed
    SocketAddress peer;
    ASSERT_TRUE(listener.socket.Accept(server, &peer));
}

inline int PendingBytes(SOCKET fd) { return ostravel::testing::PendingBytes(fd); }

// Waits for a condition the kernel or another thread will make true; false after the deadline.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Runs `action` and returns what it threw; a test failure when nothing was thrown.
template <typename Action>
BlockingSocketException Thrown(Action action) {
    try {
        action();
    } catch (const BlockingSocketException& error) {
        return error;
    }
    ADD_FAILURE() << "no BlockingSocketException";
    return BlockingSocketException("(nothing thrown)", 0);
}

}  // namespace nettest
