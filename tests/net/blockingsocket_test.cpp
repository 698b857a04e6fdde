// Blocking socket, its exception and address type, over real loopback sockets.
#include "net/blockingsocket.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <vector>

#include "net/net_test_support.h"

namespace {

using namespace nettest;

// Whether a handle is an open socket (or, on POSIX, any open descriptor).
bool IsOpen(SOCKET handle) {
#ifdef _WIN32
    int type = 0;
    int length = sizeof type;
    return getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) == 0;
#else
    return fcntl(handle, F_GETFD) != -1;
#endif
}

// The error numbers a socket failure carries: Winsock's own on Windows (10000 and up), never a C
// library errno that the user could not look up.
void ExpectPlatformCode(int code) {
#ifdef _WIN32
    EXPECT_TRUE(code >= WSABASEERR && code < WSABASEERR + 2000) << code;
#else
    EXPECT_GT(code, 0);
#endif
}

// ----------------------------------------------------------------------------------------------------
// Exception and address

TEST(BlockingSocketExceptionTest, MessageIsCutToCapacityAndTerminated) {
    struct Case {
        const char* operation;
        int code;
        unsigned capacity;
        const char* expected;
    };
    const Case cases[] = {
        {"Receive timeout", 0, 10, "Receive t"},         {"Receive timeout", 0, 100, "Receive timeout error"},
        {"Send timeout", 0, 19, "Send timeout error"},  // exactly fits with its terminator
        {"Send timeout", 0, 18, "Send timeout erro"},    {"Receive", 104, 100, "Receive error #104"},
        {"Receive", 10054, 100, "Receive error #10054"}, {"Receive", 104, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " capacity " + std::to_string(c.capacity));
        const BlockingSocketException error(c.operation, c.code);
        char buffer[128];
        std::memset(buffer, 'Z', sizeof buffer);
        unsigned help = 77;
        EXPECT_TRUE(error.GetErrorMessage(buffer, c.capacity, &help));
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(buffer[c.capacity], 'Z');  // nothing written past the capacity
        EXPECT_EQ(help, 77u);
    }
}

TEST(BlockingSocketExceptionTest, ZeroCapacityWritesNothing) {
    const BlockingSocketException error("Send", 32);
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(error.GetErrorMessage(buffer, 0));
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(error.GetErrorMessage(), "Send error #32");
    EXPECT_STREQ(error.what(), "Send error #32");
}

TEST(BlockingSocketExceptionTest, ReadsTheThreadsLastErrorAtConstruction) {
    SetLastSocketError(0);
    const BlockingSocketException quiet("Send timeout");
    SetLastSocketError(Errors::kReset);
    const BlockingSocketException stale("Send timeout");
    EXPECT_EQ(quiet.m_errorCode, 0);
    EXPECT_EQ(quiet.GetErrorMessage(), "Send timeout error");
    EXPECT_EQ(stale.m_errorCode, Errors::kReset);
    EXPECT_EQ(stale.m_operation, "Send timeout");
    EXPECT_EQ(LastSocketError(), Errors::kReset);
}

TEST(SocketAddressTest, LayoutIsFamilyPortAndAddressInNetworkOrder) {
    struct Case {
        const char* text;
        unsigned short port;
        unsigned char portBytes[2];
        unsigned char addressBytes[4];
    };
    const Case cases[] = {
        {"10.20.30.40", 80, {0x00, 0x50}, {10, 20, 30, 40}},
        {"127.0.0.1", 28000, {0x6D, 0x60}, {127, 0, 0, 1}},
        {"192.168.1.254", 0xABCD, {0xAB, 0xCD}, {192, 168, 1, 254}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SocketAddress address(c.text, c.port);
        unsigned char bytes[16];
        std::memcpy(bytes, &address, sizeof bytes);
        EXPECT_EQ(address.sin_family, 2);
        EXPECT_EQ(bytes[2], c.portBytes[0]);
        EXPECT_EQ(bytes[3], c.portBytes[1]);
        EXPECT_EQ(0, std::memcmp(bytes + 4, c.addressBytes, 4));
        EXPECT_EQ(address.Port(), c.port);
        EXPECT_EQ(address.DottedQuad(), c.text);
    }
}

TEST(SocketAddressTest, DefaultIsAnyAddressAndMalformedTextIsNone) {
    const SocketAddress any;
    EXPECT_EQ(any.sin_family, AF_INET);
    EXPECT_EQ(any.Port(), 0);
    EXPECT_EQ(any.sin_addr.s_addr, INADDR_ANY);
    for (const char* text : {"1.2.3.256", "not an address", ""}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(SocketAddress(text, 80).sin_addr.s_addr, INADDR_NONE);
    }
}

// ----------------------------------------------------------------------------------------------------
// Create, connect, accept, close

TEST(BlockingSocketTest, CreatePicksTheProtocolByTypeAndClosesOnExec) {
    struct Case {
        int type;
        int protocol;
    };
    for (const Case c : {Case{SOCK_STREAM, IPPROTO_TCP}, Case{SOCK_DGRAM, IPPROTO_UDP}}) {
        SCOPED_TRACE(c.type);
        OwnedSocket socket;
        socket.Create(c.type);
#ifdef _WIN32
        WSAPROTOCOL_INFOW info{};
        int length = sizeof info;
        ASSERT_EQ(getsockopt(socket, SOL_SOCKET, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&info), &length),
                  0);
        EXPECT_EQ(info.iProtocol, c.protocol);
        DWORD flags = 0;
        ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(socket.m_socket), &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);  // child processes never get it
#else
        int protocol = -1;
        socklen_t length = sizeof protocol;
        ASSERT_EQ(getsockopt(socket, SOL_SOCKET, SO_PROTOCOL, &protocol, &length), 0);
        EXPECT_EQ(protocol, c.protocol);
        EXPECT_NE(fcntl(socket, F_GETFD) & FD_CLOEXEC, 0);
#endif
    }
}

TEST(BlockingSocketTest, NeverHoldsDescriptorZeroWhenStdinIsClosed) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: Winsock handles are never 0 and standard input is no socket number";
#else
    const int savedStdin = dup(0);
    ASSERT_GE(savedStdin, 0);
    close(0);
    OwnedSocket client;
    client.Create();
    EXPECT_GE(client.m_socket, 3);
    EXPECT_EQ(fcntl(0, F_GETFD), -1);  // descriptor 0 was given back

    Listener listener;
    client.Connect(listener.address);
    OwnedSocket server;
    EXPECT_TRUE(listener.socket.Accept(server, nullptr));
    EXPECT_GE(server.m_socket, 3);
    EXPECT_NE(fcntl(server, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(fcntl(0, F_GETFD), -1);
    ASSERT_EQ(dup2(savedStdin, 0), 0);
    close(savedStdin);
#endif
}

TEST(BlockingSocketTest, AcceptFillsThePeerAndNamesMatch) {
    Listener listener;
    OwnedSocket client;
    client.Create();
    client.Connect(listener.address);
    OwnedSocket server;
    SocketAddress peer;
    ASSERT_TRUE(listener.socket.Accept(server, &peer));

    SocketAddress clientName, serverPeer, clientPeer;
    client.GetSockName(&clientName);
    server.GetPeerName(&serverPeer);
    client.GetPeerName(&clientPeer);
    EXPECT_EQ(peer.DottedQuad(), "127.0.0.1");
    EXPECT_EQ(peer.Port(), clientName.Port());
    EXPECT_EQ(serverPeer.Port(), clientName.Port());
    EXPECT_EQ(clientPeer.Port(), listener.address.Port());
    EXPECT_NE(listener.address.Port(), 0);
}

TEST(BlockingSocketTest, CloseForgetsTheHandleAndIsSafeTwice) {
    BlockingSocket empty;
    EXPECT_NO_THROW(empty.Close());
    EXPECT_EQ(empty.m_socket, BlockingSocket::kNoSocket);

    BlockingSocket socket;
    socket.Create();
    const SOCKET held = socket.m_socket;
    socket.Close();
    EXPECT_EQ(socket.m_socket, BlockingSocket::kNoSocket);
    EXPECT_FALSE(IsOpen(held));

    // The freed number is handed out again (POSIX: the lowest free one; Windows may reuse it or
    // not); a second Close must leave the new owner alone.
    OwnedSocket other;
    other.Create();
#ifndef _WIN32
    ASSERT_EQ(other.m_socket, held);
#endif
    EXPECT_NO_THROW(socket.Close());
    EXPECT_TRUE(IsOpen(other));
}

TEST(BlockingSocketTest, CloseQuietlyClosesButKeepsTheValue) {
    BlockingSocket socket;
    socket.Create();
    const SOCKET held = socket.m_socket;
    socket.CloseQuietly();
    EXPECT_EQ(socket.m_socket, held);
    EXPECT_FALSE(IsOpen(held));
    socket.m_socket = BlockingSocket::kNoSocket;
}

TEST(BlockingSocketTest, FailingCallsThrowTheirWordAndTheSystemCode) {
    // A TCP socket bound but not listening: its port is taken and refuses connections.
    OwnedSocket bound;
    bound.Create();
    bound.Bind(SocketAddress("127.0.0.1", 0));
    SocketAddress boundAddress;
    bound.GetSockName(&boundAddress);

    // A handle that is not a socket.
#ifdef _WIN32
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    const SOCKET notASocket = reinterpret_cast<SOCKET>(event);
    // Winsock's numbers where they differ from POSIX: an unconnected send is "not connected" (no
    // EPIPE), and an unknown socket type "not supported".
    constexpr int kBadType = WSAESOCKTNOSUPPORT;
    // Winsock's select never finds a socket that was never connected ready, so transfers on one
    // wait out their time and fail as time-outs (and Receive returns -1).
    const char* const kUnconnectedSend = "Send timeout";
    const char* const kUnconnectedDatagramSend = "Send timeout";
    const char* const kUnconnectedDatagramReceive = "Receive timeout";
    constexpr int kUnconnectedCode = -1;
    // Windows: "not supported"; Wine: "invalid argument".
    const int kListenOnDatagram = ostravel::testing::RunningUnderWine() ? WSAEINVAL : WSAEOPNOTSUPP;
#else
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const SOCKET notASocket = pipeEnds[0];
    constexpr int kBadType = EINVAL;
    const char* const kUnconnectedSend = "Send";
    const char* const kUnconnectedDatagramSend = "SendDatagram";
    const char* const kUnconnectedDatagramReceive = "ReceiveDatagram";
    constexpr int kUnconnectedCode = EPIPE;
    constexpr int kListenOnDatagram = EOPNOTSUPP;
#endif

    struct Case {
        const char* word;
        int code;  // 0: any non-zero code; -1: not checked
        std::function<void()> action;
    };
    const std::vector<Case> cases = {
        {"Create", kBadType,
         [] {
             BlockingSocket s;
             s.Create(12345);
         }},
        {"Connect", Errors::kRefused,
         [&] {
             OwnedSocket s;
             s.Create();
             s.Connect(boundAddress);
         }},
        {"Bind", Errors::kAddressInUse,
         [&] {
             OwnedSocket s;
             s.Create();
             s.Bind(boundAddress);
         }},
        {"Listen", kListenOnDatagram,
         [] {
             OwnedSocket s;
             s.Create(SOCK_DGRAM);
             s.Listen();
         }},
        {"Accept", Errors::kNotSupported,
         [] {
             OwnedSocket s, target;
             s.Create(SOCK_DGRAM);
             s.Accept(target, nullptr);
         }},
        {kUnconnectedSend, kUnconnectedCode,
         [] {
             OwnedSocket s;
             s.Create();
             s.Send("x", 1, 1);
         }},
        {"Send", Errors::kInvalid,
         [] {
             OwnedSocket s, peer;
             s.Create();
             ConnectPair(s, peer);
             s.Send("x", -1, 1);
         }},
        {"Receive", Errors::kInvalid,
         [] {
             OwnedSocket s, peer;
             s.Create();
             ConnectPair(s, peer);
             peer.Send("x", 1, 1);
             char b[4];
             s.Receive(b, -1, 5);
         }},
#ifndef _WIN32
        {"Receive", Errors::kNotConnected,
         [] {
             OwnedSocket s;
             s.Create();
             char b[4];
             s.Receive(b, 4, 1);
         }},
#endif
        {kUnconnectedDatagramReceive, Errors::kNotConnected,
         [] {
             OwnedSocket s;
             s.Create();
             char b[4];
             SocketAddress from;
             s.ReceiveDatagram(b, 4, &from, 1);
         }},
        {kUnconnectedDatagramSend, 0,
         [] {
             OwnedSocket s;
             s.Create();
             s.SendDatagram("x", 1, SocketAddress("127.0.0.1", 9), 1);
         }},
        {"GetPeerName", Errors::kNotConnected,
         [] {
             OwnedSocket s;
             s.Create();
             SocketAddress a;
             s.GetPeerName(&a);
         }},
#ifdef _WIN32
        {"GetSockName", WSAENOTSOCK,
#else
        {"GetSockName", ENOTSOCK,
#endif
         [&] {
             BlockingSocket s;
             s.m_socket = notASocket;
             SocketAddress a;
             s.GetSockName(&a);
         }},
#ifndef _WIN32  // Windows resolves an empty name to this machine's own addresses
        {"GetHostByName", 0, [] { BlockingSocket::GetHostByName(""); }},
#endif
        {"GetHostByAddr", 0,
         [] {
             SocketAddress a("127.0.0.1", 0);
             a.sin_family = 0;
             BlockingSocket::GetHostByAddr(a);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        const BlockingSocketException error = Thrown(c.action);
        EXPECT_EQ(error.m_operation, c.word);
        const bool timedOut = std::string(c.word).find("timeout") != std::string::npos;
        if (timedOut) continue;  // carries whatever error the thread had before
        if (c.code > 0) {
            EXPECT_EQ(error.m_errorCode, c.code);
            EXPECT_EQ(error.GetErrorMessage(), std::string(c.word) + " error #" + std::to_string(c.code));
        } else {
            EXPECT_NE(error.m_errorCode, 0);
        }
        if (std::string(c.word).rfind("GetHostBy", 0) != 0) ExpectPlatformCode(error.m_errorCode);
    }
#ifdef _WIN32
    CloseHandle(event);
#else
    close(pipeEnds[0]);
    close(pipeEnds[1]);
#endif
}

TEST(BlockingSocketTest, FailedCreateAndAcceptLeaveInvalidSocket) {
    BlockingSocket created;
    EXPECT_THROW(created.Create(12345), BlockingSocketException);
    EXPECT_EQ(created.m_socket, INVALID_SOCKET);

    OwnedSocket datagram;
    datagram.Create(SOCK_DGRAM);
    BlockingSocket target;
    EXPECT_THROW(datagram.Accept(target, nullptr), BlockingSocketException);
    EXPECT_EQ(target.m_socket, INVALID_SOCKET);
}

TEST(BlockingSocketTest, FailedCloseKeepsTheHandle) {
    BlockingSocket socket;
    socket.Create();
    const SOCKET held = socket.m_socket;
    ostravel::testing::CloseRawSocket(held);
    const BlockingSocketException error = Thrown([&] { socket.Close(); });
    EXPECT_EQ(error.m_operation, "Close");
    EXPECT_EQ(error.m_errorCode, Errors::kNoSocket);
    EXPECT_EQ(socket.m_socket, held);
    socket.m_socket = BlockingSocket::kNoSocket;
}

TEST(BlockingSocketTest, ResolverFindsNumericAndLocalNames) {
    const SocketAddress numeric = BlockingSocket::GetHostByName("127.0.0.1", 80);
    EXPECT_EQ(numeric.sin_family, AF_INET);
    EXPECT_EQ(numeric.DottedQuad(), "127.0.0.1");
    EXPECT_EQ(numeric.Port(), 80);
    EXPECT_EQ(BlockingSocket::GetHostByName("localhost").DottedQuad().substr(0, 4), "127.");
    EXPECT_FALSE(BlockingSocket::GetHostByAddr(SocketAddress("127.0.0.1", 0)).empty());
}

// ----------------------------------------------------------------------------------------------------
// Sending and receiving

TEST(BlockingSocketTest, ReceiveReportsDataTimeOutPeerCloseAndReset) {
    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);
    char buffer[16];

    SetLastSocketError(0);
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 0), -1);  // time-out, no exception

    EXPECT_EQ(server.Send("hello", 5, 1), 5);
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");

    server.Close();
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 5), 0);

    // A peer that closes with a zero linger time resets the connection.
    OwnedSocket client2, server2;
    client2.Create();
    ConnectPair(client2, server2);
    if (ostravel::testing::RunningUnderWine()) GTEST_SKIP() << ostravel::testing::kWineReadsResetAsClose;
    ASSERT_TRUE(ostravel::testing::SetAbortiveClose(server2));
    server2.Close();
    const BlockingSocketException error = Thrown([&] { client2.Receive(buffer, sizeof buffer, 5); });
    EXPECT_EQ(error.m_operation, "Receive");
    EXPECT_EQ(error.m_errorCode, Errors::kReset);
    // 104 on Linux, 10054 (WSAECONNRESET) on Windows.
    EXPECT_EQ(error.GetErrorMessage(), "Receive error #" + std::to_string(Errors::kReset));
}

// Fills the connection until the client's send buffer has no room left; the server never reads.
void FillUntilBlocked(SOCKET fd) {
    std::vector<char> chunk(4096, 'f');
#ifdef _WIN32
    u_long nonBlocking = 1;
    ioctlsocket(fd, FIONBIO, &nonBlocking);
    for (;;) {
        while (send(fd, chunk.data(), static_cast<int>(chunk.size()), 0) > 0) {
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval wait{0, 200000};
        if (select(0, nullptr, &set, nullptr, &wait) == 0) {
            break;  // stays full
        }
    }
    u_long blocking = 0;
    ioctlsocket(fd, FIONBIO, &blocking);
#else
    for (;;) {
        while (send(fd, chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
        }
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, 200) == 0) {
            return;  // stays full
        }
    }
#endif
}

// A send time-out of the system's own, so a blocking send can return part of a block.
void SetSendTimeout(SOCKET fd, std::chrono::microseconds timeout) {
#ifdef _WIN32
    const DWORD milliseconds = static_cast<DWORD>(timeout.count() / 1000);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
               sizeof milliseconds);
#else
    const timeval brief{0, static_cast<suseconds_t>(timeout.count())};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &brief, sizeof brief);
#endif
}

TEST(BlockingSocketTest, SendTimesOutWhileTheSendBufferStaysFull) {
    OwnedSocket client, server;
    client.Create();
    const int small = 4096;
    ostravel::testing::SetIntOption(client, SOL_SOCKET, SO_SNDBUF, small);
    ConnectPair(client, server, small);
    FillUntilBlocked(client);

    SetLastSocketError(0);
    const BlockingSocketException quiet = Thrown([&] { client.Send("x", 1, 1); });
    EXPECT_EQ(quiet.m_operation, "Send timeout");
    EXPECT_EQ(quiet.GetErrorMessage(), "Send timeout error");

    // The code is whatever the thread's last failure left behind.
    SetLastSocketError(Errors::kWouldBlock);
    const BlockingSocketException stale = Thrown([&] { client.SendAll("xyz", 3, 0); });
    EXPECT_EQ(stale.GetErrorMessage(), "Send timeout error #" + std::to_string(Errors::kWouldBlock));
}

TEST(BlockingSocketTest, SendReturnsWhatOneSendAccepted) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a blocking Winsock send takes the whole block or fails, never part of it";
#endif
    OwnedSocket client, server;
    client.Create();
    const int small = 4096;
    ostravel::testing::SetIntOption(client, SOL_SOCKET, SO_SNDBUF, small);
    SetSendTimeout(client, 20ms);
    ConnectPair(client, server, small);

    const std::vector<char> block(4 << 20, 'b');
    const int sent = client.Send(block.data(), static_cast<int>(block.size()), 5);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(block.size()));
}

TEST(BlockingSocketTest, SendAllDeliversALargeBlockOverPartialSends) {
    OwnedSocket client, server;
    client.Create();
    const int small = 4096;
    ostravel::testing::SetIntOption(client, SOL_SOCKET, SO_SNDBUF, small);
#ifndef _WIN32
    SetSendTimeout(client, 2ms);  // so a send returns part of the block (Winsock sends it whole)
#endif
    ConnectPair(client, server, small);

    std::vector<char> block(2 << 20);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>(i * 7 + i / 251);
    }
    std::vector<char> received;
    std::thread reader([&] {
        char chunk[1000];
        int n;
        while ((n = server.Receive(chunk, sizeof chunk, 10)) > 0) {
            received.insert(received.end(), chunk, chunk + n);
        }
    });
    const int sent = client.SendAll(block.data(), static_cast<int>(block.size()), 5);
    client.Close();
    reader.join();
    EXPECT_EQ(sent, static_cast<int>(block.size()));
    EXPECT_TRUE(received == block);
}

TEST(BlockingSocketTest, EmptySendAllMakesOneEmptySend) {
    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);
    EXPECT_EQ(client.SendAll("", 0, 1), 0);
    char buffer[4];
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 0), -1);
}

TEST(BlockingSocketTest, SendToAClosedPeerThrowsInsteadOfRaisingSigpipe) {
#ifndef _WIN32
    struct sigaction previous {};
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &defaultAction, &previous);  // a SIGPIPE would end the test program
#endif

    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);
    server.Close();
    int attempts = 0;
    const BlockingSocketException error = Thrown([&] {
        for (; attempts < 100; ++attempts) {
            client.Send("ping", 4, 1);  // the first one draws the peer's reset
        }
    });
#ifdef _WIN32
    EXPECT_TRUE(error.m_errorCode == WSAECONNRESET || error.m_errorCode == WSAECONNABORTED)
        << error.m_errorCode;
#else
    sigaction(SIGPIPE, &previous, nullptr);
    EXPECT_TRUE(error.m_errorCode == EPIPE || error.m_errorCode == ECONNRESET) << error.m_errorCode;
#endif
    EXPECT_EQ(error.m_operation, "Send");
}

TEST(BlockingSocketTest, DatagramsTravelBothWaysAndReceiveTimesOut) {
    OwnedSocket a, b;
    a.Create(SOCK_DGRAM);
    b.Create(SOCK_DGRAM);
    a.Bind(SocketAddress("127.0.0.1", 0));
    b.Bind(SocketAddress("127.0.0.1", 0));
    SocketAddress aAddress, bAddress;
    a.GetSockName(&aAddress);
    b.GetSockName(&bAddress);

    EXPECT_EQ(a.SendDatagram("hello", 5, bAddress, 1), 5);
    char buffer[32];
    SocketAddress from;
    EXPECT_EQ(b.ReceiveDatagram(buffer, sizeof buffer, &from, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(from.DottedQuad(), "127.0.0.1");
    EXPECT_EQ(from.Port(), aAddress.Port());

    EXPECT_EQ(b.SendDatagram("back", 4, from, 1), 4);
    EXPECT_EQ(a.ReceiveDatagram(buffer, sizeof buffer, nullptr, 5), 4);
    EXPECT_EQ(std::string(buffer, 4), "back");

    SetLastSocketError(0);
    const BlockingSocketException error = Thrown([&] { b.ReceiveDatagram(buffer, sizeof buffer, &from, 0); });
    EXPECT_EQ(error.m_operation, "Receive timeout");
    EXPECT_EQ(error.GetErrorMessage(), "Receive timeout error");
}

#ifdef _WIN32
TEST(BlockingSocketTest, DescriptorAboveFdSetSizeWorks) {
    GTEST_SKIP() << "POSIX only: a Winsock fd_set lists handles, so no handle value is too high for it";
}

TEST(BlockingSocketTest, InterruptedReceiveGoesOnWaiting) {
    GTEST_SKIP() << "POSIX only: no signal interrupts a Winsock call";
}

TEST(BlockingSocketTest, InterruptedReceiveStillTimesOutOnTime) {
    GTEST_SKIP() << "POSIX only: no signal interrupts a Winsock call";
}

TEST(BlockingSocketTest, AcceptInterruptedBySignalReturnsFalse) {
    GTEST_SKIP() << "POSIX only: no signal interrupts a Winsock call";
}
#else
TEST(BlockingSocketTest, DescriptorAboveFdSetSizeWorks) {
    constexpr int kHigh = 1500;
    static_assert(kHigh + 1 > FD_SETSIZE);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur <= kHigh + 1) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2048);
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
        if (limit.rlim_cur <= kHigh + 1) {
            GTEST_SKIP() << "cannot open descriptor " << kHigh + 1;
        }
    }
    ASSERT_EQ(fcntl(kHigh, F_GETFD), -1);
    ASSERT_EQ(fcntl(kHigh + 1, F_GETFD), -1);

    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);
    for (BlockingSocket* socket :
         {static_cast<BlockingSocket*>(&client), static_cast<BlockingSocket*>(&server)}) {
        const int high = socket == &client ? kHigh : kHigh + 1;
        ASSERT_EQ(dup2(socket->m_socket, high), high);
        close(socket->m_socket);
        socket->m_socket = high;
    }

    char buffer[8];
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 0), -1);
    EXPECT_EQ(server.SendAll("abc", 3, 1), 3);
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 5), 3);
    EXPECT_EQ(client.Send("de", 2, 1), 2);
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 5), 2);
}

// ----------------------------------------------------------------------------------------------------
// Cancelling and interrupting blocked calls

std::atomic<int> signalsHandled{0};
void CountSignal(int) { signalsHandled.fetch_add(1, std::memory_order_relaxed); }

// Installs a SIGUSR1 handler without SA_RESTART, so blocked calls fail with EINTR.
class InterruptingSignal {
public:
    InterruptingSignal() {
        struct sigaction action {};
        action.sa_handler = CountSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &m_previous);
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &m_previous, nullptr); }

private:
    struct sigaction m_previous {};
};

// Signals `thread` again and again until `done` (or the deadline), so it is interrupted in its blocking
// call whatever the timing. Stops early once `enough` signals were handled, when that is > 0.
bool Interrupt(std::thread& thread, const std::atomic<bool>& done, int enough = 0) {
    const int start = signalsHandled.load();
    return WaitUntil(
        [&] {
            if (done || (enough > 0 && signalsHandled.load() - start >= enough)) {
                return true;
            }
            const int before = signalsHandled.load();
            pthread_kill(thread.native_handle(), SIGUSR1);
            WaitUntil([&] { return done || signalsHandled.load() != before; }, 1s);
            return false;
        },
        20s);
}

TEST(BlockingSocketTest, InterruptedReceiveGoesOnWaiting) {
    InterruptingSignal signal;
    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);

    std::atomic<bool> done{false};
    int received = -2;
    std::thread receiver([&] {
        char buffer[8];
        try {
            received = client.Receive(buffer, sizeof buffer, 30);
        } catch (const BlockingSocketException&) {
            received = -3;
        }
        done = true;
    });
    EXPECT_TRUE(Interrupt(receiver, done, 50));
    EXPECT_FALSE(done);
    server.Send("z", 1, 1);
    receiver.join();
    EXPECT_EQ(received, 1);
}

TEST(BlockingSocketTest, InterruptedReceiveStillTimesOutOnTime) {
    InterruptingSignal signal;
    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);

    std::atomic<bool> done{false};
    int received = -2;
    std::thread receiver([&] {
        char buffer[8];
        try {
            received = client.Receive(buffer, sizeof buffer, 1);
        } catch (const BlockingSocketException&) {
            received = -3;
        }
        done = true;
    });
    // Without counting down the remaining time, constant interruptions would never let it end.
    const bool ended = Interrupt(receiver, done);
    EXPECT_TRUE(ended);
    if (!ended) {
        server.Send("u", 1, 1);  // free the receiver so the test can end
    }
    receiver.join();
    EXPECT_EQ(received, -1);
}

TEST(BlockingSocketTest, AcceptInterruptedBySignalReturnsFalse) {
    InterruptingSignal signal;
    Listener listener;
    std::atomic<bool> done{false};
    bool accepted = true;
    BlockingSocket target;
    std::thread acceptor([&] {
        try {
            accepted = listener.socket.Accept(target, nullptr);
        } catch (const BlockingSocketException& error) {
            ADD_FAILURE() << error.what();
        }
        done = true;
    });
    EXPECT_TRUE(Interrupt(acceptor, done));
    acceptor.join();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(target.m_socket, INVALID_SOCKET);
}

// True once the thread sleeps in the kernel (a blocking call), as /proc tells.
bool ThreadIsSleeping(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}
#endif

#ifdef _WIN32
using ThreadId = DWORD;
ThreadId CurrentThreadId() { return GetCurrentThreadId(); }
bool ThreadIsSleeping(ThreadId) { return true; }  // no portable look inside; either order is tested
#else
using ThreadId = pid_t;
ThreadId CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }
#endif

TEST(BlockingSocketTest, ShutdownListenerCancelsABlockedAccept) {
    Listener listener;
    std::atomic<ThreadId> tid{0};
    std::promise<bool> outcome;
    std::future<bool> accepted = outcome.get_future();
    BlockingSocket target;
    std::thread acceptor([&] {
        tid = CurrentThreadId();
        SocketAddress peer;
        try {
            outcome.set_value(listener.socket.Accept(target, &peer));
        } catch (const BlockingSocketException&) {
            outcome.set_exception(std::current_exception());
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return tid != 0; }));
    WaitUntil([&] { return ThreadIsSleeping(tid); });  // best effort: either order must work

    listener.socket.ShutdownListener();
    if (accepted.wait_for(10s) != std::future_status::ready) {
        std::fprintf(stderr, "ShutdownListener did not wake Accept\n");
        std::abort();
    }
    acceptor.join();
    EXPECT_NO_THROW(EXPECT_FALSE(accepted.get()));
    EXPECT_EQ(target.m_socket, INVALID_SOCKET);

    // A later Accept on the shut listener is cancelled at once as well.
    BlockingSocket again;
    EXPECT_FALSE(listener.socket.Accept(again, nullptr));
    listener.socket.Close();
    EXPECT_EQ(listener.socket.m_socket, BlockingSocket::kNoSocket);
}

// ----------------------------------------------------------------------------------------------------
// Error log line

struct RecordingSink : TextSink {
    std::vector<std::string> lines;
    void AppendText(const std::string& text) override { lines.push_back(text); }
};

TEST(LogSocketErrorTest, AppendsOneLineWithTheUtcTime) {
    RecordingSink sink;
    const std::time_t before = std::time(nullptr);
    LogSocketError(sink, "Login", BlockingSocketException("Receive", 104));
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(sink.lines.size(), 1u);

    const std::regex format(
        R"(WINSOCK ERROR--Login Receive error #104 -- (\d\d)/(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d) GMT\r\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(sink.lines[0], match, format)) << sink.lines[0];
    std::tm stamp{};
    stamp.tm_mon = std::stoi(match[1]) - 1;
    stamp.tm_mday = std::stoi(match[2]);
    stamp.tm_year = std::stoi(match[3]) + 100;
    stamp.tm_hour = std::stoi(match[4]);
    stamp.tm_min = std::stoi(match[5]);
    stamp.tm_sec = std::stoi(match[6]);
#ifdef _WIN32
    const std::time_t logged = _mkgmtime(&stamp);
#else
    const std::time_t logged = timegm(&stamp);
#endif
    EXPECT_GE(logged, before);
    EXPECT_LE(logged, after);
}

TEST(LogSocketErrorTest, CutsTheMessageAndTheLine) {
    RecordingSink sink;
    const std::string longWord(60, 'w');
    LogSocketError(sink, "ctx", BlockingSocketException(longWord, 0));
    EXPECT_EQ(sink.lines.at(0).substr(0, 19 + 48 + 4), "WINSOCK ERROR--ctx " + std::string(48, 'w') + " -- ");

    const std::string longContext(300, 'c');
    LogSocketError(sink, longContext.c_str(), BlockingSocketException("Send", 32));
    EXPECT_EQ(sink.lines.at(1), "WINSOCK ERROR--" + std::string(184, 'c'));
}

}  // namespace
