// A UrlOpener that records every address instead of starting a browser.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/openurl.h"

namespace ostravel::testing {

class FakeUrlOpener : public UrlOpener {
public:
    bool Open(const std::string& url) override {
        std::lock_guard lock(mutex_);
        opened_.push_back(url);
        return true;
    }
    std::vector<std::string> Opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> opened_;
};

}  // namespace ostravel::testing
