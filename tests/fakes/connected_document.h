// A session document connected to a listening socket of the test's own, whose far end the test
// reads and writes directly.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "net/blockingsocket.h"
#include "session/sessiondocument.h"

namespace ostravel::testing {

class ConnectedDocument {
public:
    void Connect() {
        listener.Create();
        listener.Bind(SocketAddress("127.0.0.1", 0));
        listener.Listen();
        SocketAddress bound;
        listener.GetSockName(&bound);
        doc.ConnectService(SocketAddress("127.0.0.1", bound.Port()));
        ASSERT_TRUE(listener.Accept(server, nullptr));
    }
    void Disconnect() {
        doc.CloseService();
        server.CloseQuietly();
        listener.CloseQuietly();
    }
    // Exactly `size` bytes from the far end, or what came before it closed or went quiet for 10 s.
    std::string ServerReceives(std::size_t size) {
        std::string out;
        char buffer[512];
        while (out.size() < size) {
            const int got = server.Receive(buffer, static_cast<int>(size - out.size()), 10);
            if (got <= 0) break;
            out.append(buffer, static_cast<std::size_t>(got));
        }
        return out;
    }

    SessionDocument doc;
    BlockingSocket listener;
    BlockingSocket server;
};

}  // namespace ostravel::testing
