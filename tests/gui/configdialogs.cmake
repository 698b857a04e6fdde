# The three settings dialogs, built straight from their sources and driven under a virtual display.
find_package(GTest REQUIRED)
find_package(wxWidgets REQUIRED COMPONENTS core base)
include(${wxWidgets_USE_FILE})

set(OSTRAVEL_DIALOG_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../../src/config)
add_executable(configdialogs_gui_tests
  ${CMAKE_CURRENT_LIST_DIR}/configdialogs_test.cpp
  ${OSTRAVEL_DIALOG_SOURCE_DIR}/serverconfigdialog.cpp
  ${OSTRAVEL_DIALOG_SOURCE_DIR}/autodjconfigdialog.cpp
  ${OSTRAVEL_DIALOG_SOURCE_DIR}/configtvdialog.cpp)
target_link_libraries(configdialogs_gui_tests PRIVATE ostravel_core ${wxWidgets_LIBRARIES} GTest::gtest)

add_test(NAME configdialogs_gui COMMAND xvfb-run -a $<TARGET_FILE:configdialogs_gui_tests>)
set_tests_properties(configdialogs_gui PROPERTIES
  LABELS gui
  TIMEOUT 120
  ENVIRONMENT "${OSTRAVEL_GUI_LSAN}")

# Pictures of the three dialogs for the README: `cmake --build . --target configdialogs_screenshots`.
if(NOT OSTRAVEL_SCREENSHOT_DIR)
  set(OSTRAVEL_SCREENSHOT_DIR ${CMAKE_CURRENT_LIST_DIR}/../../build/screenshots)
endif()
add_custom_target(configdialogs_screenshots
  COMMAND ${CMAKE_COMMAND} -E make_directory ${OSTRAVEL_SCREENSHOT_DIR}
  COMMAND ${CMAKE_COMMAND} -E env "${OSTRAVEL_GUI_LSAN}"
          xvfb-run -a $<TARGET_FILE:configdialogs_gui_tests> --screenshots=${OSTRAVEL_SCREENSHOT_DIR}
  DEPENDS configdialogs_gui_tests
  VERBATIM)
