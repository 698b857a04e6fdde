#include "connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>

namespace hostsim {

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
    const bool serverStopping = serve(session);
    finish(session, serverStopping);
}

bool Connection::serve(Session& session) {
    BlockReader blocks;
    auto nextKeepalive = Clock::time_point::max();
    char buffer[4096];
    while (true) {
        switch (waitForInput(nextKeepalive)) {
            case Wake::Interrupted:
                continue;
            case Wake::Failed:
                return false;
            case Wake::Stopping:
                return true;
            case Wake::Keepalive:
                log("keep-alive status report");
                enqueue(host_.statusReport(session));
                nextKeepalive += keepalive_;
                continue;
            case Wake::Input:
                break;
        }
        const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = errno;
            if (!droppedByHost()) {
                log(n == 0 ? "client closed the connection"
                           : std::string("receive failed: ") + std::strerror(error));
            }
            if (blocks.pending() > 0) {
                log("dropped " + std::to_string(blocks.pending()) + " bytes of an unfinished block");
            }
            return false;
        }
        blocks.feed(buffer, static_cast<std::size_t>(n));
        if (!answerBlocks(session, blocks, nextKeepalive)) {
            return false;
        }
    }
}

Connection::Wake Connection::waitForInput(Clock::time_point nextKeepalive) {
    int timeout = -1;
    if (nextKeepalive != Clock::time_point::max()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextKeepalive - Clock::now());
        timeout = static_cast<int>(std::max<long long>(0, left.count()));
    }
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeout);
    if (ready < 0) {
        return errno == EINTR ? Wake::Interrupted : Wake::Failed;
    }
    if (fds[1].revents != 0) {
        return Wake::Stopping;
    }
    return ready == 0 ? Wake::Keepalive : Wake::Input;
}

bool Connection::answerBlocks(Session& session, BlockReader& blocks, Clock::time_point& nextKeepalive) {
    while (auto block = blocks.next(session.loginPhase())) {
        log("<- " + std::to_string(block->size) + " bytes" + (block->terminated ? "" : " (no NUL)") + ": " +
            escapeForLog(host_.maskForLog(block->text)));
        const bool wasLoggedIn = !session.loginPhase();
        Outcome outcome = host_.handle(session, *block);
        if (outcome.faultList) {
            applyFaultSwitches(*outcome.faultList);
        }
        for (auto& reply : outcome.replies) {
            enqueue(std::move(reply));
        }
        if (!wasLoggedIn && !session.loginPhase() && keepalive_.count() > 0) {
            nextKeepalive = Clock::now() + keepalive_;
        }
        if (outcome.close) {
            log("log-off notice: closing the connection");
            return false;
        }
    }
    return true;
}

void Connection::applyFaultSwitches(const std::string& switches) {
    std::lock_guard lock(mutex_);
    std::string error;
    if (applyFaultList(switches, faults_, error)) {
        log("faults now " + describeFaults(faults_));
    } else {
        log("fault switch refused: " + error);
    }
}

bool Connection::drop() {
    std::lock_guard lock(mutex_);
    // finish() closes the descriptor under this lock, so it cannot be closed, or reused, under us.
    if (!fd_.valid() || ended_ || stopping_) {
        return false;
    }
    ended_ = true;
    dropped_ = true;
    ::shutdown(fd_.get(), SHUT_RDWR);
    log("fault: dropped, the connection is closed");
    return true;
}

bool Connection::droppedByHost() {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void Connection::finish(const Session& session, bool serverStopping) {
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
    {
        std::lock_guard lock(mutex_);
        fd_.reset();
    }
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

}  // namespace hostsim
