#include "voice/serverthread.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <list>
#include <mutex>
#include <set>
#include <thread>

#include "net/blockingsocket.h"
#include "platform/trace.h"

namespace ostravel {

namespace {

constexpr int kGreetingSendSeconds = 10;
constexpr int kEchoReceiveSeconds = 30;
constexpr int kEchoSendSeconds = 10;

// What all threads of the chain share: the listening socket, the threads and the open sessions.
struct EchoState {
    std::mutex mutex;
    BlockingSocket listener;
    bool listening = false;
    bool stopping = false;
    unsigned short port = 0;
    int threadsStarted = 0;
    struct Entry {
        std::thread thread;
        bool done = false;
    };
    std::list<Entry> threads;
    std::set<SOCKET> sessions;  // connections being served, so Stop can end them
};

EchoState& State() {
    static EchoState state;
    return state;
}

bool Stopping() {
    EchoState& state = State();
    std::lock_guard lock(state.mutex);
    return state.stopping;
}

// Receive with the session's whole wait, in short steps with a look at Stop between them: shutting a
// connection down wakes a waiting receive on Linux, but not with Winsock.
int ReceiveUnlessStopping(BlockingSocket& connection, char* buffer, int size) {
    using Clock = std::chrono::steady_clock;
    constexpr std::chrono::milliseconds kStep(250);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kEchoReceiveSeconds);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return -1;
        const int received = connection.ReceiveWithin(buffer, size, (std::min)(left, kStep));
        if (received != -1 || Stopping()) return received;
    }
}

void EndConnection(SOCKET handle) {
#ifdef _WIN32
    ::shutdown(handle, SD_BOTH);
#else
    ::shutdown(handle, SHUT_RDWR);
#endif
}

}  // namespace

bool ServerThread::IsClosingPiece(const char* piece, int size) {
    if (size == 3 && std::memcmp(piece, "bye", 3) == 0) return true;
    if (size > 3 && std::memcmp(piece, "bye\0", 4) == 0) return true;
    return size == 1 && piece[0] == '#';
}

bool ServerThread::Start(const std::string& address, unsigned short port, int context) {
    EchoState& state = State();
    {
        std::lock_guard lock(state.mutex);
        if (state.listening) return false;
    }
    BlockingSocket listener;
    listener.Create(SOCK_STREAM);
    try {
        listener.Bind(SocketAddress(address.c_str(), port));
        listener.Listen();
    } catch (const BlockingSocketException&) {
        listener.CloseQuietly();
        throw;
    }
    SocketAddress bound;
    listener.GetSockName(&bound);
    {
        std::lock_guard lock(state.mutex);
        state.listener = listener;
        state.listening = true;
        state.stopping = false;
        state.port = bound.Port();
        state.threadsStarted = 0;
    }
    Launch(context);
    return true;
}

unsigned short ServerThread::Port() {
    EchoState& state = State();
    std::lock_guard lock(state.mutex);
    return state.listening ? state.port : 0;
}

int ServerThread::ThreadsStarted() {
    EchoState& state = State();
    std::lock_guard lock(state.mutex);
    return state.threadsStarted;
}

void ServerThread::Launch(int context) {
    EchoState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.stopping || !state.listening) return;
    // Collect threads that have finished, so a long run does not pile them up.
    for (auto it = state.threads.begin(); it != state.threads.end();) {
        if (it->done && it->thread.joinable()) {
            it->thread.join();
            it = state.threads.erase(it);
        } else {
            ++it;
        }
    }
    auto& entry = state.threads.emplace_back();
    ++state.threadsStarted;
    entry.thread = std::thread([&entry, context] {
        ServerThread thread(context);
        thread.Run();
        EchoState& shared = State();
        std::lock_guard done(shared.mutex);
        entry.done = true;
    });
}

void ServerThread::Stop() {
    EchoState& state = State();
    std::list<EchoState::Entry> threads;
    {
        std::lock_guard lock(state.mutex);
        if (!state.listening) return;
        state.stopping = true;
        state.listener.ShutdownListener();
        for (SOCKET session : state.sessions) EndConnection(session);
    }
    // Threads only add to the list while not stopping, so it is complete now.
    for (;;) {
        std::thread next;
        {
            std::lock_guard lock(state.mutex);
            for (auto& entry : state.threads) {
                if (entry.thread.joinable()) {
                    next = std::move(entry.thread);
                    break;
                }
            }
        }
        if (!next.joinable()) break;
        next.join();
    }
    std::lock_guard lock(state.mutex);
    state.threads.clear();
    state.listener.CloseQuietly();
    state.listener = BlockingSocket();
    state.listening = false;
    state.port = 0;
}

int ServerThread::Run() {
    EchoState& state = State();
    SocketAddress clientAddress;
    BlockingSocket connection;
    BlockingSocket listener;
    {
        std::lock_guard lock(state.mutex);
        listener = state.listener;
    }
    bool registered = false;
    try {
        if (!listener.Accept(connection, &clientAddress)) return 0;
        {
            std::lock_guard lock(state.mutex);
            if (state.stopping) {
                connection.CloseQuietly();
                return 0;
            }
            state.sessions.insert(connection.m_socket);
            registered = true;
        }
        Launch(m_context);

        connection.SendAll(kEchoGreeting, static_cast<int>(sizeof kEchoGreeting - 1), kGreetingSendSeconds);
        // Each session has its own buffer: sessions run side by side.
        char buffer[kEchoBufferSize];
        for (;;) {
            const int received = ReceiveUnlessStopping(connection, buffer, sizeof buffer);
            // Silence for the whole wait, or the client gone: the session is over.
            if (received <= 0) break;
            connection.SendAll(buffer, received, kEchoSendSeconds);
            if (IsClosingPiece(buffer, received)) break;
        }
    } catch (const BlockingSocketException& error) {
        OSTRAVEL_TRACE(std::string("echo session: ") + error.what() + "\n");
    }
    // Closed under the lock, so Stop never shuts down a descriptor that was reused meanwhile.
    std::lock_guard lock(state.mutex);
    if (registered) state.sessions.erase(connection.m_socket);
    connection.CloseQuietly();
    return 0;
}

}  // namespace ostravel
