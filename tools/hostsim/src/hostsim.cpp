#include "hostsim.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "connection.h"
#include "portal.h"
#include "wire.h"

namespace hostsim {

using Clock = std::chrono::steady_clock;

// One HTTP request of the portal, answered on its own thread.
class PortalRequest {
public:
    PortalRequest(Fd fd, Host& host, int stopFd, LogFn log, PortalControls controls)
        : fd_(std::move(fd)),
          host_(host),
          stopFd_(stopFd),
          log_(std::move(log)),
          controls_(std::move(controls)) {
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
    PortalControls controls_;
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
        response = handlePortalRequest(host_, method, target, controls_);
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

HostSim::~HostSim() { stop(); }

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
    serviceAt_ = localEndpoint(serviceListener_.get());
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
        portalAt_ = localEndpoint(portalListener_.get());
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

std::size_t HostSim::dropConnections() {
    std::lock_guard lock(mutex_);
    std::size_t dropped = 0;
    for (auto& connection : connections_) {
        dropped += connection->drop() ? 1 : 0;
    }
    log("[svc] fault: dropped " + std::to_string(dropped) + " open connection(s), still listening");
    return dropped;
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
    PortalControls controls;
    controls.setFaults = [this](std::string_view switches, bool live, std::string& result) {
        std::lock_guard lock(mutex_);
        Faults next = faults_;
        if (!applyFaultList(switches, next, result)) {
            return false;
        }
        applyFaultsLocked(next, live);
        result = describeFaults(next);
        return true;
    };
    controls.dropConnections = [this] { return dropConnections(); };
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
            std::make_unique<PortalRequest>(std::move(fd), *host_, stop_.readFd(), logger, controls));
    }
}

}  // namespace hostsim
