// What the system tells about the machine that matters to a connection: it woke from sleep, or
// its network changed. Either is a good moment to look at the connection at once instead of
// waiting for it to time out.
#pragma once

#include <functional>
#include <memory>

namespace ostravel {

enum class SystemEvent { Resumed, NetworkChanged };

class SystemEvents {
public:
    using Callback = std::function<void(SystemEvent)>;

    // Starts watching; nothing is watched (and nothing breaks) where there is no system bus or no
    // network monitor. A burst of network changes is told once, a second after the last of them.
    // Linux (platform/linux, GIO): logind's PrepareForSleep on the system bus and GIO's network
    // monitor; the callback runs on the thread that runs GLib's default main context (the UI
    // thread under GTK), and the object is made and destroyed there.
    // Windows (platform/windows): address changes only, the callback on a thread of its own (the
    // desktop hears of resuming from its toolkit); not destroyed from inside the callback.
    static std::unique_ptr<SystemEvents> Start(Callback callback);

    // Stops watching; no callback runs after it returns.
    virtual ~SystemEvents() = default;
    SystemEvents(const SystemEvents&) = delete;
    SystemEvents& operator=(const SystemEvents&) = delete;

    bool WatchesSleep() const { return watchesSleep_; }
    bool WatchesNetwork() const { return watchesNetwork_; }

protected:
    SystemEvents() = default;
    bool watchesSleep_ = false;
    bool watchesNetwork_ = false;
};

}  // namespace ostravel
