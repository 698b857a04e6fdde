// Windows: address changes through the IP helper's notifications, which arrive on a system thread
// and are told, a burst at a time, from a thread of ours. Resuming from sleep reaches the desktop
// through its toolkit, so it is not watched here.
#ifdef _WIN32

#include "platform/systemevents.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <winsock2.h>
#include <ws2ipdef.h>
// iphlpapi.h builds on the two above.
#include <iphlpapi.h>

namespace ostravel {

namespace {

// Addresses change in bursts (one notification per address and family): told once, after this
// long without another.
constexpr std::chrono::seconds kNetworkQuiet{1};

class AddressChanges final : public SystemEvents {
public:
    explicit AddressChanges(Callback callback) : callback_(std::move(callback)) {
        if (NotifyUnicastIpAddressChange(AF_UNSPEC, &AddressChanges::OnChange, this, FALSE, &handle_) !=
            NO_ERROR) {
            handle_ = nullptr;
            return;
        }
        watchesNetwork_ = true;
        thread_ = std::thread([this] { Run(); });
    }

    ~AddressChanges() override {
        if (!thread_.joinable()) return;
        // Returns once no notification is running any more. (Wine answers with no handle.)
        if (handle_ != nullptr) CancelMibChangeNotify2(handle_);
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    static void WINAPI OnChange(void* context, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE) {
        auto* self = static_cast<AddressChanges*>(context);
        {
            std::lock_guard lock(self->mutex_);
            self->pending_ = true;
            self->last_ = std::chrono::steady_clock::now();
        }
        self->wake_.notify_all();
    }

    void Run() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (!pending_) {
                wake_.wait(lock);
                continue;
            }
            const auto due = last_ + kNetworkQuiet;
            if (std::chrono::steady_clock::now() < due) {
                wake_.wait_until(lock, due);
                continue;
            }
            pending_ = false;
            lock.unlock();
            callback_(SystemEvent::NetworkChanged);
            lock.lock();
        }
    }

    Callback callback_;
    HANDLE handle_ = nullptr;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point last_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<SystemEvents> SystemEvents::Start(Callback callback) {
    return std::make_unique<AddressChanges>(std::move(callback));
}

}  // namespace ostravel

#endif
