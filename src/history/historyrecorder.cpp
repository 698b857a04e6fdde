#include "history/historyrecorder.h"

#include <ctime>

#include "history/historystore.h"
#include "platform/translate.h"

namespace ostravel {

HistoryRecorder::HistoryRecorder(std::filesystem::path file, Notice notice, Clock now)
    : file_(std::move(file)),
      notice_(std::move(notice)),
      now_(now ? std::move(now) : [] { return static_cast<std::int64_t>(std::time(nullptr)); }) {
    thread_ = std::thread([this] { Run(); });
}

HistoryRecorder::~HistoryRecorder() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void HistoryRecorder::Record(const std::string& account, int state, std::int64_t at) {
    {
        std::lock_guard lock(mutex_);
        if (failed_) return;
        queue_.push_back({account, state, at, false});
        ++queued_;
    }
    changed_.notify_all();
}

void HistoryRecorder::Close(const std::string& account, std::int64_t at) {
    {
        std::lock_guard lock(mutex_);
        if (failed_) return;
        queue_.push_back({account, 0, at, true});
        ++queued_;
    }
    changed_.notify_all();
}

bool HistoryRecorder::Flush() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = queued_;
    changed_.wait(lock, [&] { return written_ >= target || failed_; });
    return !failed_;
}

void HistoryRecorder::Write(HistoryStore& store, const Change& change) {
    const bool ok = change.close ? store.Close(change.account, change.at)
                                 : store.Record(change.account, change.state, change.at);
    if (change.close) {
        open_.erase(change.account);
    } else {
        open_.insert(change.account);
    }
    // A disk that fills up later is said once; the changes after it are tried again as they come.
    if (!ok && !saidWriteFailure_ && notice_) {
        saidWriteFailure_ = true;
        notice_(FillIn(Translated(N_("The station history could not be written: {1}")), {store.LastError()}));
    }
}

void HistoryRecorder::Run() {
    std::string notice;
    std::unique_ptr<HistoryStore> store = HistoryStore::Open(file_, &notice);
    if (!notice.empty() && notice_) notice_(notice);
    if (store) store->Prune(now_() - kHistoryKeepSeconds);
    std::unique_lock lock(mutex_);
    if (!store) {
        failed_ = true;
        written_ = queued_;
        queue_.clear();
        changed_.notify_all();
        return;
    }
    for (;;) {
        changed_.wait(lock, [&] { return !queue_.empty() || ending_; });
        if (queue_.empty()) break;
        const Change change = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        Write(*store, change);
        lock.lock();
        ++written_;
        changed_.notify_all();
    }
    lock.unlock();
    const std::int64_t now = now_();
    for (const std::string& account : open_) store->Close(account, now);
}

}  // namespace ostravel
