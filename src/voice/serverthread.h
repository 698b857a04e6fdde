// ServerThread: the echo server, a chain of threads on one listening socket. Each thread accepts
// one client, starts the next thread (so the next client is accepted while this one is served),
// greets its client, echoes what it sends and ends the session on "bye" or "#".
// Nothing starts it by default: an open port nobody asked for is a risk.
#pragma once

#include <string>

namespace ostravel {

inline constexpr char kEchoGreeting[] = "Greetings form EchoServer\n\r";
inline constexpr int kEchoBufferSize = 256;

class ServerThread {
public:
    explicit ServerThread(int context) : m_context(context) {}

    // Creates the listening socket, binds it to `address`:`port` (port 0: any free one), listens
    // with a backlog of 5 and starts the first thread of the chain. Throws
    // BlockingSocketException when the socket cannot be set up; false when already started.
    static bool Start(const std::string& address, unsigned short port, int context = 0);
    // The port actually bound (0 when not started).
    static unsigned short Port();
    // Stops accepting, ends the open sessions and waits for every thread of the chain.
    static void Stop();
    // Threads started since the last Start (the first one included).
    static int ThreadsStarted();

    // One echo session; returns the thread's exit code (always 0).
    int Run();

    // Whether an echoed piece of `size` bytes ends the session.
    static bool IsClosingPiece(const char* piece, int size);

private:
    static void Launch(int context);

    int m_context;
};

}  // namespace ostravel
