#include "platform/linux/sessionbus.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>

namespace ostravel {

bool SessionBusAvailable() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0')
        return true;
    // systemd's and dbus-user-session's well-known place.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') return false;
    struct stat info {};
    return ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace ostravel
