// The host stand-in as a library: a service server and a web portal on their own threads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "faults.h"
#include "host.h"
#include "netutil.h"
#include "store.h"

namespace hostsim {

struct Options {
    Endpoint service{"127.0.0.1", 28000};
    Endpoint portal{"127.0.0.1", 28080};
    bool portalEnabled = true;
    std::filesystem::path dataDir;
    std::vector<Account> accounts = defaultAccounts();
    std::string streamHost = "127.0.0.1";  // the address the status report gives for the stream
    int keepaliveSeconds = 10;             // 0: no unsolicited status reports
    int replyGapMs = 50;                   // the client takes each received chunk as one reply
    Faults faults;                         // for every new service connection
    std::size_t maxConnections = 64;
    std::function<void(const std::string&)> log;  // one line per call; null: silent
};

class Connection;
class PortalRequest;

class HostSim {
public:
    explicit HostSim(Options options);
    ~HostSim();
    HostSim(const HostSim&) = delete;
    HostSim& operator=(const HostSim&) = delete;

    // Prepares the data directory and starts listening; false with a reason.
    bool start(std::string& error);
    // Says "/bye" to every session, closes everything and joins every thread. Idempotent.
    void stop();

    // Where the listeners are bound, once started.
    const Endpoint& serviceEndpoint() const { return serviceAt_; }
    const Endpoint& portalEndpoint() const { return portalAt_; }
    std::uint16_t servicePort() const { return serviceAt_.port; }
    std::uint16_t portalPort() const { return portalAt_.port; }
    Host& host() { return *host_; }

    // For new connections, and with `live` for the open ones too.
    void setFaults(const Faults& faults, bool live = false);
    Faults faults() const;
    // Closes every open service connection at once, orderly, as a host that restarts; the listener
    // stays, so clients can connect again. Returns how many there were.
    std::size_t dropConnections();

private:
    // Waits for the next client of `listener`; false once the simulator is stopping.
    bool acceptClient(const Fd& listener, Fd& client);
    void acceptService();
    // Under mutex_: applies `faults` and tells the service listener.
    void applyFaultsLocked(const Faults& faults, bool live);
    // Under mutex_: makes the service listener deaf to new connections, or lets it hear again.
    void setDeafLocked(bool deaf);
    void acceptPortal();
    void reap(bool all);
    void log(const std::string& line);

    Options options_;
    std::unique_ptr<Host> host_;
    StopSignal stop_;
    WakeSignal faultsChanged_;  // the service listener may have to go deaf or come back
    Fd serviceListener_;
    Fd portalListener_;
    Endpoint serviceAt_;
    Endpoint portalAt_;
    std::thread serviceThread_;
    std::thread portalThread_;
    mutable std::mutex mutex_;  // faults_ and the two lists below
    Faults faults_;
    Fd deafFiller_;  // while deaf: our own connection that keeps the listener's queue full
    std::list<std::unique_ptr<Connection>> connections_;
    std::list<std::unique_ptr<PortalRequest>> portalRequests_;
    std::mutex logMutex_;
    int nextConnectionId_ = 1;
    bool stopped_ = false;
    bool started_ = false;
};

}  // namespace hostsim
