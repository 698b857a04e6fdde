// Blocking IPv4 sockets (IPv6 too where a connect is given such an address) with whole-second
// time-outs. Every failing call throws a BlockingSocketException (by value; catch by reference). POSIX
// on Linux, Winsock on Windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <stop_token>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;  // all bits set, as on Windows
inline constexpr int SOCKET_ERROR = -1;
#endif

// The platform's error code of the last failed socket call on this thread
// (WSAGetLastError on Windows, errno elsewhere).
int LastSocketError();

class BlockingSocketException : public std::exception {
public:
    // Reads the platform's last socket error of this thread.
    explicit BlockingSocketException(std::string operation);
    BlockingSocketException(std::string operation, int errorCode);

    // "<operation> error" when the code is 0, else "<operation> error #<code>"; cut to
    // capacity - 1 characters and always terminated. helpContext is neither read nor written.
    bool GetErrorMessage(char* buffer, unsigned capacity, unsigned* helpContext = nullptr) const;
    std::string GetErrorMessage() const;
    const char* what() const noexcept override { return m_message.c_str(); }

    int m_errorCode;
    std::string m_operation;

private:
    std::string m_message;
};

// An IPv4 socket address laid out exactly as sockaddr_in.
class SocketAddress : public sockaddr_in {
public:
    SocketAddress();                                             // AF_INET, port 0, INADDR_ANY
    SocketAddress(const char* dottedQuad, unsigned short port);  // no name look-up
    explicit SocketAddress(const sockaddr_in& address);

    operator sockaddr*() { return reinterpret_cast<sockaddr*>(static_cast<sockaddr_in*>(this)); }
    operator const sockaddr*() const {
        return reinterpret_cast<const sockaddr*>(static_cast<const sockaddr_in*>(this));
    }
    unsigned short Port() const;  // host order
    std::string DottedQuad() const;
};
static_assert(sizeof(SocketAddress) == 16);

class BlockingSocket {
public:
    BlockingSocket() = default;
    // Like the handle it wraps, an object is a small value; the destructor never closes it.
    ~BlockingSocket() = default;

    // An IPv4 socket unless `family` says otherwise (AF_INET6).
    void Create(int type = SOCK_STREAM, int family = AF_INET);
    void Connect(const SocketAddress& address);
    // Connects within `seconds` (negative: no limit) without blocking the thread beyond it, and
    // gives up as soon as `cancel` is requested. Fails with "Connect": ETIMEDOUT (WSAETIMEDOUT) when
    // the time ran out, ECANCELED (WSAECONNABORTED) when cancelled. The socket stays blocking.
    void Connect(const SocketAddress& address, int seconds, std::stop_token cancel = {});
    // The same for an address of any family, `length` bytes long (as getaddrinfo gives it).
    void Connect(const sockaddr* address, int length, int seconds, std::stop_token cancel = {});
    // Each send goes out at once, not held back until the peer has acknowledged the one before
    // (Nagle's algorithm): a request right behind another, as the login's two blocks are, would
    // otherwise wait for the peer's delayed acknowledgement, up to 40 ms. Failures are ignored.
    void SendAtOnce();
    void Bind(const SocketAddress& address);
    void Listen();  // backlog 5
    // true: target holds the connection, address the peer. false: the wait was cancelled
    // (interrupted, or this listening socket was shut down from another thread).
    bool Accept(BlockingSocket& target, SocketAddress* address);
    void Close();
    void CloseQuietly();

    // Time-outs are whole seconds; a negative count waits without limit.
    // One send after waiting at most `seconds` for room; returns what that send accepted.
    int Send(const char* data, int size, int seconds);
    // Repeats Send until all bytes have gone (a 0-byte block still makes one Send).
    int SendAll(const char* data, int size, int seconds);
    // > 0 bytes received, 0 peer closed, -1 nothing arrived within `seconds`.
    int Receive(char* buffer, int size, int seconds);
    // As Receive, with a wait measured in milliseconds.
    int ReceiveWithin(char* buffer, int size, std::chrono::milliseconds wait);
    int ReceiveDatagram(char* buffer, int size, SocketAddress* from, int seconds);
    int SendDatagram(const char* data, int size, const SocketAddress& to, int seconds);

    void GetPeerName(SocketAddress* address) const;
    void GetSockName(SocketAddress* address) const;
    static SocketAddress GetHostByName(const char* hostName, unsigned short port = 0);
    static std::string GetHostByAddr(const SocketAddress& address);

    // Stops a blocked Accept on this listening socket from another thread; that Accept (and any
    // later one) returns false. The owner still calls Close once the accepting thread is done. On
    // Windows the handle is closed here, since Winsock cannot wake a blocked accept otherwise.
    void ShutdownListener();

    operator SOCKET() const { return m_socket; }
    bool HasSocket() const { return m_socket != kNoSocket; }

    // "No socket" is never a number the system could hand out: descriptor 0 is a real one on
    // POSIX, and a transfer on it would write to whatever standard input is.
    static constexpr SOCKET kNoSocket = INVALID_SOCKET;
    SOCKET m_socket = kNoSocket;

private:
    // Throws `operation`'s exception (EBADF, WSAENOTSOCK on Windows) when no socket is held.
    void RequireSocket(const char* operation) const;
#ifdef _WIN32
    bool m_closedByShutdown = false;  // ShutdownListener already closed the handle
#endif
};

// Reads an HTTP response: header lines one at a time, then the rest as a block.
class HttpBlockingSocket : public BlockingSocket {
public:
    static constexpr int kBufferSize = 1000;

    HttpBlockingSocket();
    ~HttpBlockingSocket();
    HttpBlockingSocket(const HttpBlockingSocket&) = delete;
    HttpBlockingSocket& operator=(const HttpBlockingSocket&) = delete;

    // The line through its line feed, cut to size - 1 bytes and terminated; returns the copied length.
    int ReadHeaderLine(char* destination, int size, int seconds);
    // Buffered body bytes first, then receives until the peer closes, a time-out, or `size` is reached.
    int ReadResponse(char* destination, int size, int seconds);

private:
    char* m_readBuffer;
    int m_readLength = 0;
};

// A place where text lines can be appended (an on-screen error log, a file, a test buffer).
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void AppendText(const std::string& text) = 0;
};

// Appends "WINSOCK ERROR--<context> <message> -- <mm/dd/yy HH:MM:SS GMT>\r\n" to the sink.
void LogSocketError(TextSink& sink, const char* context, const BlockingSocketException& error);

// Starts the platform's socket layer once (Winsock); a no-op elsewhere. False on failure.
bool InitSockets();
