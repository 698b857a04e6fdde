// A listener on 127.0.0.1 whose one-place queue is already taken: the kernel drops every further
// SYN, so a connect to it never completes and only the client's own time limit ends it.
#pragma once

#include "fakes/test_platform.h"
#include "net/blockingsocket.h"

namespace ostravel::testing {

class DeafListener {
public:
    DeafListener() {
#ifdef _WIN32
        int length = sizeof(sockaddr_in);
#else
        socklen_t length = sizeof(sockaddr_in);
#endif
        ::bind(fd_, address_, length);
        ::listen(fd_, 0);
        ::getsockname(fd_, address_, &length);
        filler_.Create();
        filler_.Connect(address_, 5);
    }
    ~DeafListener() {
        filler_.CloseQuietly();
        CloseRawSocket(fd_);
    }
    DeafListener(const DeafListener&) = delete;
    DeafListener& operator=(const DeafListener&) = delete;

    const SocketAddress& Address() const { return address_; }
    unsigned short Port() const { return address_.Port(); }

private:
    SOCKET fd_ = RawStreamSocket();
    SocketAddress address_{"127.0.0.1", 0};
    BlockingSocket filler_;
};

}  // namespace ostravel::testing
