// A UrlOpener that records every address instead of starting a browser, and can fail as a missing
// browser would.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/openurl.h"

namespace ostravel::testing {

class FakeUrlOpener : public UrlOpener {
public:
    using UrlOpener::Open;
    bool Open(const std::string& url, UrlOpenFailed failed) override {
        std::string reason;
        {
            std::lock_guard lock(mutex_);
            opened_.push_back(url);
            reason = failure_;
        }
        if (reason.empty()) return true;
        if (failed) failed(reason);
        return false;
    }
    std::vector<std::string> Opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }
    // Every later Open fails with `reason` (empty: succeeds again).
    void FailWith(std::string reason) {
        std::lock_guard lock(mutex_);
        failure_ = std::move(reason);
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> opened_;
    std::string failure_;
};

}  // namespace ostravel::testing
