# The three settings dialogs, driven under a virtual display.
add_executable(configdialogs_gui_tests ${CMAKE_CURRENT_LIST_DIR}/configdialogs_test.cpp)
target_link_libraries(configdialogs_gui_tests PRIVATE ostravel_desktop GTest::gtest)
target_compile_definitions(configdialogs_gui_tests PRIVATE OSTRAVEL_TEST_LOCALE_DIR="${CMAKE_BINARY_DIR}/locale")

add_test(NAME configdialogs_gui COMMAND xvfb-run -a $<TARGET_FILE:configdialogs_gui_tests>)
set_tests_properties(configdialogs_gui PROPERTIES
  LABELS gui
  TIMEOUT 120
  ENVIRONMENT "${OSTRAVEL_GUI_LSAN}")

# Pictures of the three dialogs for the README, in English and in German (de-*.png):
# `cmake --build . --target configdialogs_screenshots`.
if(NOT OSTRAVEL_SCREENSHOT_DIR)
  set(OSTRAVEL_SCREENSHOT_DIR ${CMAKE_CURRENT_LIST_DIR}/../../build/screenshots)
endif()
add_custom_target(configdialogs_screenshots
  COMMAND ${CMAKE_COMMAND} -E make_directory ${OSTRAVEL_SCREENSHOT_DIR}
  COMMAND ${CMAKE_COMMAND} -E env "${OSTRAVEL_GUI_LSAN}"
          xvfb-run -a $<TARGET_FILE:configdialogs_gui_tests> --screenshots=${OSTRAVEL_SCREENSHOT_DIR}
  COMMAND ${CMAKE_COMMAND} -E env "${OSTRAVEL_GUI_LSAN}"
          xvfb-run -a $<TARGET_FILE:configdialogs_gui_tests> --screenshots=${OSTRAVEL_SCREENSHOT_DIR} --language=de
  DEPENDS configdialogs_gui_tests ostravel_catalogues
  VERBATIM)
