# Debian packages with CPack: `make package`, or `cpack --config build/<preset>/CPackConfig.cmake`.
# Two packages: ostravel, and ostravel-hostsim (the stand-in is for trying the program and for
# tests; a customer of a real host has no use for a server listening on his own machine).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostravel)
set(CPACK_PACKAGE_VENDOR ${OSTRAVEL_VENDOR})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ostravel developers <${OSTRAVEL_CONTACT_ADDRESS}>")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ostravel)
if(TARGET ostravel-hostsim)
  list(APPEND CPACK_COMPONENTS_ALL hostsim)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quenlor.net/ostravel/")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_OSTRAVEL_PACKAGE_NAME ostravel)
# Proprietary terms (LICENSE): Debian's non-free area.
set(CPACK_DEBIAN_OSTRAVEL_PACKAGE_SECTION non-free/sound)
# Run, not linked: web addresses open through xdg-open; the audio library is loaded on first use,
# and only the voice features need it; the toolkit's own texts (its stock buttons and dialogs) in
# the user's language come with wx3.2-i18n.
set(CPACK_DEBIAN_OSTRAVEL_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_OSTRAVEL_PACKAGE_RECOMMENDS "libportaudio2, wx3.2-i18n")
set(CPACK_DEBIAN_OSTRAVEL_PACKAGE_SUGGESTS "ostravel-hostsim")
# The first line of each description is the package's synopsis.
set(CPACK_DEBIAN_OSTRAVEL_DESCRIPTION "manage a hosted internet radio server, AutoDJ and AutoTV
Ostravel is the desktop client for the customers of a streaming host. It
logs in to the host's service server, starts, stops and restarts the radio
server, the AutoDJ playlist player and the AutoTV video player, shows the
server's state in its window and by the colour of its notification-area icon,
edits the three services' settings, shows their logs and the account summary,
and opens the host's web portal and tune-in links.
.
The package also holds ostravel-ctl, the same client for scripts and
monitoring.")

set(CPACK_DEBIAN_HOSTSIM_PACKAGE_NAME ostravel-hostsim)
set(CPACK_DEBIAN_HOSTSIM_PACKAGE_SECTION non-free/net)
set(CPACK_DEBIAN_HOSTSIM_DESCRIPTION "stand-in for a streaming host, to try Ostravel without one
ostravel-hostsim plays the streaming host's side of Ostravel: its service
server (accounts, a radio server, AutoDJ and AutoTV that start and stop,
status reports, settings kept in files, logs) and its web portal. It can
misbehave on purpose (stall, close, reset, split or merge replies) to see
how a client copes.")

include(CPack)
