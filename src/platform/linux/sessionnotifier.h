// Notices through the desktop's notification service (org.freedesktop.Notifications on the session
// bus), under the program's own name: app_name "Ostravel", the desktop entry's id as the
// "desktop-entry" hint (where a desktop's notification settings look the program up) and the
// picture as "image-data". Each notice replaces the one before (replaces_id). UI thread only: the
// call waits for the service's answer, a few seconds at most.
#pragma once

#include <cstdint>

#include "platform/notifier.h"

typedef struct _GDBusConnection GDBusConnection;

namespace ostravel {

class SessionNotifier final : public Notifier {
public:
    SessionNotifier() = default;
    ~SessionNotifier() override;
    SessionNotifier(const SessionNotifier&) = delete;
    SessionNotifier& operator=(const SessionNotifier&) = delete;

    bool Show(const std::string& summary, const std::string& body, const RgbaImage& image,
              NoticeLevel level) override;

private:
    bool Connect();
    void Disconnect();

    GDBusConnection* bus_ = nullptr;
    std::uint32_t lastId_ = 0;  // the service's id of the notice shown last; 0: none yet
};

}  // namespace ostravel
