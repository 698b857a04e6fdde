# The desktop's seams to its session services, kept out of the core: whether there is a session
# bus (notifications, keyring) and the remembered password in the keyring through libsecret.
find_package(PkgConfig REQUIRED)
pkg_check_modules(OSTRAVEL_LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1 gio-2.0)

add_library(ostravel_secret STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/src/desktop/sessionbus.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/src/desktop/secretstore.cpp)
target_include_directories(ostravel_secret PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(ostravel_secret PUBLIC PkgConfig::OSTRAVEL_LIBSECRET)
target_link_libraries(ostravel_desktop PUBLIC ostravel_secret)
