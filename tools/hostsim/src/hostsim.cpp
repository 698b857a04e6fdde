#include "hostsim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>

#include "portal.h"
#include "wire.h"

namespace hostsim {

using Clock = std::chrono::steady_clock;
using LogFn = std::function<void(const std::string&)>;

// One client of the service server. The reader thread runs the session; the writer thread sends the
// replies one chunk at a time, spaced so that the client's reads see each one alone.
class Connection {
public:
    Connection(int id, Fd fd, Host& host, const Options& options, const Faults& faults, int stopFd, LogFn log)
        : id_(id),
          fd_(std::move(fd)),
          host_(host),
          gap_(std::chrono::milliseconds(options.replyGapMs)),
          keepalive_(std::chrono::seconds(options.keepaliveSeconds)),
          faults_(faults),
          stopFd_(stopFd),
          log_(std::move(log)),
          tag_("[svc " + std::to_string(id) + "] ") {
        reader_ = std::thread(&Connection::readLoop, this);
    }
    ~Connection() {
        if (reader_.joinable()) {
            reader_.join();
        }
    }
    bool finished() const { return finished_.load(); }
    // Switches this connection's faults now; counts of replies go on from the connection's start.
    void setFaults(const Faults& faults) {
        {
            std::lock_guard lock(mutex_);
            faults_ = faults;
            flooded_ = false;
        }
        log("faults now " + describeFaults(faults));
        wake_.notify_all();
    }

private:
    void readLoop();
    void writeLoop();
    void enqueue(std::string reply);
    bool waitGap(std::unique_lock<std::mutex>& lock, Clock::time_point& last, Clock::duration gap);
    bool sendChunk(const std::string& chunk, std::unique_lock<std::mutex>& lock, Clock::time_point& last,
                   Clock::duration gap);
    bool sendChunk(const std::string& chunk, std::unique_lock<std::mutex>& lock, Clock::time_point& last) {
        return sendChunk(chunk, lock, last, gap_);
    }
    // Sends one reply as the faults shape it; false when the connection must be dropped.
    bool sendReply(std::string chunk, std::unique_lock<std::mutex>& lock, Clock::time_point& last);
    bool faultTriggered(std::unique_lock<std::mutex>& lock, Clock::time_point& last);
    void log(const std::string& line) {
        if (log_) {
            log_(tag_ + line);
        }
    }

    const int id_;
    Fd fd_;
    Host& host_;
    const Clock::duration gap_;
    const Clock::duration keepalive_;
    std::mutex mutex_;  // everything below up to the threads
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    Faults faults_;
    int sent_ = 0;
    bool flooded_ = false;  // the flood of the current fault switches has gone out
    bool stopping_ = false;
    bool flushing_ = false;
    bool ended_ = false;  // a fault has closed or reset the connection
    const int stopFd_;
    LogFn log_;
    std::string tag_;
    std::atomic<bool> finished_{false};
    std::thread writer_;
    std::thread reader_;
};

void Connection::enqueue(std::string reply) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(reply));
    }
    wake_.notify_all();
}

void Connection::readLoop() {
    const std::string peer = peerName(fd_.get());
    log("connected from " + peer);
    writer_ = std::thread(&Connection::writeLoop, this);
    Session session;
    session.peer = peer;
    BlockReader blocks;
    auto nextKeepalive = Clock::time_point::max();
    bool serverStopping = false;
    char buffer[4096];
    while (true) {
        int timeout = -1;
        if (nextKeepalive != Clock::time_point::max()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextKeepalive - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count()));
        }
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[1].revents != 0) {
            serverStopping = true;
            break;
        }
        if (ready == 0) {
            log("keep-alive status report");
            enqueue(host_.statusReport(session));
            nextKeepalive += keepalive_;
            continue;
        }
        const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            log(n == 0 ? "client closed the connection"
                       : std::string("receive failed: ") + std::strerror(errno));
            if (blocks.pending() > 0) {
                log("dropped " + std::to_string(blocks.pending()) + " bytes of an unfinished block");
            }
            break;
        }
        blocks.feed(buffer, static_cast<std::size_t>(n));
        bool close = false;
        while (auto block = blocks.next(session.loginPhase())) {
            log("<- " + std::to_string(block->size) + " bytes" + (block->terminated ? "" : " (no NUL)") +
                ": " + escapeForLog(host_.maskForLog(block->text)));
            const bool wasLoggedIn = !session.loginPhase();
            Outcome outcome = host_.handle(session, *block);
            if (outcome.faultList) {
                std::lock_guard lock(mutex_);
                std::string error;
                if (applyFaultList(*outcome.faultList, faults_, error)) {
                    log("faults now " + describeFaults(faults_));
                } else {
                    log("fault switch refused: " + error);
                }
            }
            for (auto& reply : outcome.replies) {
                enqueue(std::move(reply));
            }
            if (!wasLoggedIn && !session.loginPhase() && keepalive_.count() > 0) {
                nextKeepalive = Clock::now() + keepalive_;
            }
            if (outcome.close) {
                log("log-off notice: closing the connection");
                close = true;
                break;
            }
        }
        if (close) {
            break;
        }
    }
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        // A polite goodbye when the host itself goes down.
        if (serverStopping && !session.loginPhase() && !ended_) {
            queue_.push_back("/bye");
            flushing_ = true;
        }
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
    fd_.reset();
    log("closed");
    finished_ = true;
}

bool Connection::waitGap(std::unique_lock<std::mutex>& lock, Clock::time_point& last, Clock::duration gap) {
    // Returns false when the connection is being torn down without a flush.
    return !wake_.wait_until(lock, last + gap, [this] { return stopping_ && !flushing_; });
}

bool Connection::sendChunk(const std::string& chunk, std::unique_lock<std::mutex>& lock,
                           Clock::time_point& last, Clock::duration gap) {
    if (!waitGap(lock, last, gap)) {
        return false;
    }
    lock.unlock();
    const bool ok = sendAll(fd_.get(), chunk.data(), chunk.size());
    lock.lock();
    last = Clock::now();
    return ok;
}

bool Connection::faultTriggered(std::unique_lock<std::mutex>& lock, Clock::time_point& last) {
    const bool close = faults_.closeAfter >= 0 && sent_ >= faults_.closeAfter;
    const bool reset = faults_.resetAfter >= 0 && sent_ >= faults_.resetAfter;
    const bool bye = faults_.byeAfter >= 0 && sent_ >= faults_.byeAfter;
    if (!close && !reset && !bye) {
        return false;
    }
    ended_ = true;
    if (bye && !close && !reset) {
        // The host's own goodbye, as a reply of its own, then an orderly close.
        const bool said = sendChunk("/bye", lock, last);
        lock.unlock();
        ::shutdown(fd_.get(), SHUT_RDWR);
        log(std::string("fault: ") + (said ? "said /bye" : "could not say /bye") + " and closed after " +
            std::to_string(sent_) + " replies");
        lock.lock();
        return true;
    }
    lock.unlock();
    if (reset) {
        // Zero linger makes the reader's close() send a reset instead of a normal close.
        linger hard{1, 0};
        ::setsockopt(fd_.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::shutdown(fd_.get(), SHUT_RD);
        log("fault: resetting the connection after " + std::to_string(sent_) + " replies");
    } else {
        ::shutdown(fd_.get(), SHUT_RDWR);
        log("fault: closing the connection after " + std::to_string(sent_) + " replies");
    }
    lock.lock();
    return true;
}

void Connection::writeLoop() {
    auto last = Clock::now() - gap_;
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return !queue_.empty() || stopping_; });
        if (queue_.empty() || (stopping_ && !flushing_) || ended_) {
            return;
        }
        std::string chunk = std::move(queue_.front());
        queue_.pop_front();
        if (faults_.merge && !flushing_) {
            // Hold the reply back briefly so the next one can share its chunk.
            wake_.wait_for(lock, std::chrono::milliseconds(300),
                           [this] { return !queue_.empty() || stopping_; });
            if (!queue_.empty() && !stopping_) {
                chunk += queue_.front();
                queue_.pop_front();
            }
        }
        if (faultTriggered(lock, last)) {
            return;
        }
        if (faults_.stallAfter >= 0 && sent_ >= faults_.stallAfter) {
            log("fault: stalled, dropping " + escapeForLog(chunk, 80));
            continue;
        }
        if (!sendReply(std::move(chunk), lock, last)) {
            log("send failed or cancelled; dropping the connection's output");
            ended_ = true;
            lock.unlock();
            ::shutdown(fd_.get(), SHUT_RDWR);
            lock.lock();
            return;
        }
        if (faultTriggered(lock, last)) {
            return;
        }
    }
}

bool Connection::sendReply(std::string chunk, std::unique_lock<std::mutex>& lock, Clock::time_point& last) {
    // The goodbye always goes out whole, so that the client can still recognise it.
    const bool shaped = chunk != "/bye";
    if (shaped && faults_.flood && !flooded_) {
        flooded_ = true;
        if (!sendChunk(floodText(), lock, last)) {
            return false;
        }
        log("fault: flooded " + std::to_string(kFloodSize) + " bytes without NUL or keyword");
    }
    if (shaped && faults_.oversize) {
        chunk += "\r\n";
        while (chunk.size() < kOversizeReply) {
            chunk += "filler line for an oversize reply ..................................\r\n";
        }
    }
    if (shaped && faults_.nuls) {
        chunk.insert(chunk.size() / 2, 1, '\0');
    }
    const bool trickle = shaped && faults_.trickle;
    const std::size_t piece = trickle ? 1 : faults_.splitSize > 0 ? faults_.splitSize : chunk.size();
    for (std::size_t at = 0; at < chunk.size(); at += piece) {
        const Clock::duration gap = at > 0 && trickle ? Clock::duration(kTrickleGap) : gap_;
        if (!sendChunk(chunk.substr(at, piece), lock, last, gap)) {
            return false;
        }
    }
    ++sent_;
    log("-> " + std::to_string(chunk.size()) + " bytes" +
        (piece < chunk.size() ? " in pieces of " + std::to_string(piece) : std::string()) + ": " +
        escapeForLog(chunk, 400));
    return true;
}

// One HTTP request of the portal, answered on its own thread.
class PortalRequest {
public:
    PortalRequest(Fd fd, Host& host, int stopFd, LogFn log, FaultSetter setFaults)
        : fd_(std::move(fd)),
          host_(host),
          stopFd_(stopFd),
          log_(std::move(log)),
          setFaults_(std::move(setFaults)) {
        thread_ = std::thread(&PortalRequest::run, this);
    }
    ~PortalRequest() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool finished() const { return finished_.load(); }

private:
    void run() {
        serve();
        fd_.reset();
        finished_ = true;
    }
    void serve();

    Fd fd_;
    Host& host_;
    int stopFd_;
    LogFn log_;
    FaultSetter setFaults_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

void PortalRequest::serve() {
    std::string request;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.find("\n\n") == std::string::npos) {
        if (request.size() > 8192) {
            const std::string reply = HttpResponse{400, "text/plain", "request too large\n", {}}.serialize();
            sendAll(fd_.get(), reply.data(), reply.size());
            return;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left)) <= 0 || fds[1].revents != 0) {
            return;
        }
        const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string line = request.substr(0, request.find_first_of("\r\n"));
    const auto firstSpace = line.find(' ');
    const auto lastSpace = line.rfind(' ');
    HttpResponse response;
    if (firstSpace == std::string::npos || lastSpace == firstSpace) {
        response = HttpResponse{400, "text/plain", "bad request line\n", {}};
    } else {
        // Blanks inside the target are tolerated: the method ends at the first, the version starts at the
        // last.
        const std::string method = line.substr(0, firstSpace);
        const std::string target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
        response = handlePortalRequest(host_, method, target, setFaults_);
    }
    if (log_) {
        log_("[web] " + escapeForLog(maskQueryForLog(line), 400) + " -> " + std::to_string(response.status));
    }
    const std::string reply = response.serialize();
    sendAll(fd_.get(), reply.data(), reply.size());
    ::shutdown(fd_.get(), SHUT_WR);
}

HostSim::HostSim(Options options) : options_(std::move(options)), faults_(options_.faults) {
    host_ = std::make_unique<Host>(options_.accounts, options_.dataDir, options_.streamHost);
}

HostSim::~HostSim() {
    stop();
}

void HostSim::log(const std::string& line) {
    if (options_.log) {
        std::lock_guard lock(logMutex_);
        options_.log(line);
    }
}

bool HostSim::start(std::string& error) {
    if (started_) {
        error = "already started";
        return false;
    }
    if (!host_->prepare(error)) {
        return false;
    }
    serviceListener_ = listenOn(options_.service, error);
    if (!serviceListener_.valid()) {
        return false;
    }
    servicePort_ = localPort(serviceListener_.get());
    // Accepted only under the lock that deafness is switched under, and never waited on there.
    ::fcntl(serviceListener_.get(), F_SETFL, ::fcntl(serviceListener_.get(), F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard lock(mutex_);
        setDeafLocked(faults_.deaf);
    }
    if (options_.portalEnabled) {
        portalListener_ = listenOn(options_.portal, error);
        if (!portalListener_.valid()) {
            serviceListener_.reset();
            return false;
        }
        portalPort_ = localPort(portalListener_.get());
    }
    started_ = true;
    serviceThread_ = std::thread(&HostSim::acceptService, this);
    if (options_.portalEnabled) {
        portalThread_ = std::thread(&HostSim::acceptPortal, this);
    }
    return true;
}

void HostSim::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_ || !started_) {
            stopped_ = true;
            return;
        }
        stopped_ = true;
    }
    stop_.notify();
    if (serviceThread_.joinable()) {
        serviceThread_.join();
    }
    if (portalThread_.joinable()) {
        portalThread_.join();
    }
    reap(true);
    {
        std::lock_guard lock(mutex_);
        deafFiller_.reset();
    }
    serviceListener_.reset();
    portalListener_.reset();
}

void HostSim::setFaults(const Faults& faults, bool live) {
    std::lock_guard lock(mutex_);
    applyFaultsLocked(faults, live);
}

void HostSim::applyFaultsLocked(const Faults& faults, bool live) {
    faults_ = faults;
    if (live) {
        for (auto& connection : connections_) {
            connection->setFaults(faults);
        }
    }
    setDeafLocked(faults.deaf);
    faultsChanged_.notify();
}

void HostSim::setDeafLocked(bool deaf) {
    if (!serviceListener_.valid() || deaf == deafFiller_.valid()) {
        return;
    }
    if (deaf) {
        deafFiller_ = deafenListener(serviceListener_.get());
        log("[svc] fault: deaf, new connections are not answered");
    } else {
        restoreListener(serviceListener_.get());
        deafFiller_.reset();  // its queued connection is accepted and ends at once
        log("[svc] listening again");
    }
}

Faults HostSim::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void HostSim::reap(bool all) {
    std::list<std::unique_ptr<Connection>> doneConnections;
    std::list<std::unique_ptr<PortalRequest>> doneRequests;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            auto next = std::next(it);
            if (all || (*it)->finished()) {
                doneConnections.splice(doneConnections.end(), connections_, it);
            }
            it = next;
        }
        for (auto it = portalRequests_.begin(); it != portalRequests_.end();) {
            auto next = std::next(it);
            if (all || (*it)->finished()) {
                doneRequests.splice(doneRequests.end(), portalRequests_, it);
            }
            it = next;
        }
    }
    // Joined outside the lock: a finishing connection may still log.
}

bool HostSim::acceptClient(const Fd& listener, Fd& client) {
    while (true) {
        pollfd fds[2] = {{listener.get(), POLLIN, 0}, {stop_.readFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return false;
        }
        if (fds[1].revents != 0) {
            return false;
        }
        if (fds[0].revents == 0) {
            continue;
        }
        Fd accepted(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (accepted.valid()) {
            client = std::move(accepted);
            return true;
        }
    }
}

void HostSim::acceptService() {
    const LogFn logger = [this](const std::string& line) { log(line); };
    while (true) {
        // While deaf the listener is not watched: what waits in its queue stays there.
        const bool deaf = faults().deaf;
        pollfd fds[3] = {{deaf ? -1 : serviceListener_.get(), POLLIN, 0},
                         {stop_.readFd(), POLLIN, 0},
                         {faultsChanged_.readFd(), POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[2].revents != 0) {
            faultsChanged_.drain();
        }
        if (fds[0].revents == 0) {
            continue;
        }
        reap(false);
        std::lock_guard lock(mutex_);
        if (faults_.deaf) {
            continue;  // went deaf meanwhile: the queue must stay full
        }
        Fd fd(::accept4(serviceListener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd.valid()) {
            continue;
        }
        if (connections_.size() >= options_.maxConnections) {
            log("[svc] refusing a connection: " + std::to_string(connections_.size()) + " clients already");
            continue;
        }
        // A client that stops reading must not hold a writer forever.
        setSendTimeout(fd.get(), 10);
        connections_.push_back(std::make_unique<Connection>(nextConnectionId_++, std::move(fd), *host_,
                                                            options_, faults_, stop_.readFd(), logger));
    }
}

void HostSim::acceptPortal() {
    const LogFn logger = [this](const std::string& line) { log(line); };
    const FaultSetter setter = [this](std::string_view switches, bool live, std::string& result) {
        std::lock_guard lock(mutex_);
        Faults next = faults_;
        if (!applyFaultList(switches, next, result)) {
            return false;
        }
        applyFaultsLocked(next, live);
        result = describeFaults(next);
        return true;
    };
    Fd fd;
    while (acceptClient(portalListener_, fd)) {
        reap(false);
        std::lock_guard lock(mutex_);
        if (portalRequests_.size() >= options_.maxConnections) {
            fd.reset();
            continue;
        }
        setSendTimeout(fd.get(), 5);
        portalRequests_.push_back(
            std::make_unique<PortalRequest>(std::move(fd), *host_, stop_.readFd(), logger, setter));
    }
}

}  // namespace hostsim
