// One client of the service server: its session's requests read and answered, its replies sent as the
// faults shape them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "faults.h"
#include "host.h"
#include "hostsim.h"
#include "netutil.h"
#include "wire.h"

namespace hostsim {

using LogFn = std::function<void(const std::string&)>;

// The reader thread runs the session; the writer thread sends the replies one chunk at a time, spaced so
// that the client's reads see each one alone.
class Connection {
public:
    using Clock = std::chrono::steady_clock;

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

    // Closes the connection at once, orderly, as a host that restarts would; false when it was ending
    // anyway.
    bool drop();

private:
    // What the reader's wait for input ended with.
    enum class Wake { Input, Keepalive, Stopping, Interrupted, Failed };

    void readLoop();
    // Reads and answers blocks until the connection ends; true when it ends because the host stops.
    bool serve(Session& session);
    Wake waitForInput(Clock::time_point nextKeepalive);
    // Answers every whole block received so far; false once the client's log-off notice came.
    bool answerBlocks(Session& session, BlockReader& blocks, Clock::time_point& nextKeepalive);
    void applyFaultSwitches(const std::string& switches);
    bool droppedByHost();
    // Stops the writer (after a goodbye when the host goes down) and closes the connection.
    void finish(const Session& session, bool serverStopping);
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
    std::mutex mutex_;  // everything below up to the threads, and fd_ being closed
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    Faults faults_;
    int sent_ = 0;
    bool flooded_ = false;  // the flood of the current fault switches has gone out
    bool stopping_ = false;
    bool flushing_ = false;
    bool ended_ = false;    // a fault has closed or reset the connection
    bool dropped_ = false;  // drop() closed it: the end of input the reader sees is ours
    const int stopFd_;
    LogFn log_;
    std::string tag_;
    std::atomic<bool> finished_{false};
    std::thread writer_;
    std::thread reader_;
};

}  // namespace hostsim
