# The wxWidgets desktop program. Its sources form one library that the program and the GUI tests
# share; the core libraries never see wxWidgets' include path.
# The embedded browser is a module of its own, loaded the first time a page is shown: only it links
# the web engine, so the program's start-up never maps the engine's libraries.
# On Windows (cmake/windowsapp.cmake) the program is built without the module: wxMSW comes from
# scripts/windows-wx without a web engine, and the server logs open in the user's browser.
if(WIN32)
  find_package(wxWidgets REQUIRED COMPONENTS core base adv)
else()
  find_package(wxWidgets REQUIRED COMPONENTS webview core base)
  set(ostravel_webview_libraries ${wxWidgets_LIBRARIES})
  find_package(wxWidgets REQUIRED COMPONENTS core base adv)

  file(GLOB ostravel_browser_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/desktop/browser/*.cpp)
  add_library(ostravel_browser MODULE ${ostravel_browser_sources})
  target_include_directories(ostravel_browser SYSTEM PRIVATE ${wxWidgets_INCLUDE_DIRS})
  target_include_directories(ostravel_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_compile_definitions(ostravel_browser PRIVATE ${wxWidgets_DEFINITIONS}
    $<$<CONFIG:Debug>:${wxWidgets_DEFINITIONS_DEBUG}>)
  target_compile_options(ostravel_browser PRIVATE ${wxWidgets_CXX_FLAGS})
  target_link_libraries(ostravel_browser PRIVATE ${ostravel_webview_libraries})
  set_target_properties(ostravel_browser PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    CXX_VISIBILITY_PRESET hidden)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/artwork.cmake)
ostravel_folder_library(desktop ostravel_session ostravel_voice ${wxWidgets_LIBRARIES})
target_sources(ostravel_desktop PRIVATE ${ostravel_artwork_cpp})
target_include_directories(ostravel_desktop SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(ostravel_desktop PUBLIC ${wxWidgets_DEFINITIONS}
  $<$<CONFIG:Debug>:${wxWidgets_DEFINITIONS_DEBUG}>)
target_compile_options(ostravel_desktop PUBLIC ${wxWidgets_CXX_FLAGS})
# The autostart entry is named, and shows its icon, by the desktop's name for the program.
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/src/desktop/mainframe.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OSTRAVEL_APP_ID="${OSTRAVEL_APP_ID}")

add_executable(ostravel WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/src/main/ostravel.cpp)
target_link_libraries(ostravel PRIVATE ostravel_desktop)
# --version prints the project's version.
target_compile_definitions(ostravel PRIVATE OSTRAVEL_VERSION="${PROJECT_VERSION}")
# scripts/run looks for build/<preset>/ostravel.
set_target_properties(ostravel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(TARGET ostravel_browser)
  add_dependencies(ostravel ostravel_browser)
endif()

# Installed, the module lives in a private library folder; the program finds it there relative to
# its own place, so an unpacked package works wherever it is unpacked. In the build tree it is
# next to the program.
include(GNUInstallDirs)
set(OSTRAVEL_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/ostravel)
file(RELATIVE_PATH ostravel_module_from_bin /${CMAKE_INSTALL_BINDIR} /${OSTRAVEL_MODULE_DIR})
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/src/desktop/browserloader.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OSTRAVEL_MODULE_FROM_BIN="${ostravel_module_from_bin}")
# The catalogues likewise (ostravel_locale_from_bin: CMakeLists.txt).
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/src/desktop/translations.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OSTRAVEL_LOCALE_FROM_BIN="${ostravel_locale_from_bin}")
include(${CMAKE_CURRENT_LIST_DIR}/translations.cmake)

# The session services (notifications, the keyring): cmake/secret.cmake. Windows has its own
# notification area and Credential Manager, reached through wxMSW and the platform library.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windowsapp.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/secret.cmake)
endif()
