# The desktop's seams to its session services (platform/linux): whether there is a session bus
# (notifications, keyring), the remembered password in the keyring through libsecret, and sleep and
# network changes through GIO (logind on the system bus, GIO's network monitor).
find_package(PkgConfig REQUIRED)
pkg_check_modules(OSTRAVEL_LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1 gio-2.0)

ostravel_folder_library(platform/linux PkgConfig::OSTRAVEL_LIBSECRET ostravel_platform)
target_link_libraries(ostravel_desktop PUBLIC ostravel_platform_linux)
