# One desktop test program: linked with the desktop library, run under a virtual X server (with a
# notification area when TRAY is given), the toolkit's own caches left to the leak checker.
#   ostravel_desktop_test(NAME SOURCES ... LABEL l TIMEOUT s [TRAY] [BROWSER] [HOSTSIM] [SERVICES]
#                         [LIBS ...] [RESOURCE_LOCK r])
# SERVICES runs it in a desktop session of its own (tests/gui/with-session-services): a private
# session bus, a recording notification listener, a real keyring, a fresh HOME.
find_program(OSTRAVEL_XVFB_RUN xvfb-run)
set(OSTRAVEL_GUI_LSAN "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")

function(ostravel_desktop_test name)
  cmake_parse_arguments(T "TRAY;BROWSER;HOSTSIM;SERVICES" "LABEL;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ostravel_desktop ostravel_fakes GTest::gtest ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(T_BROWSER)
    # The browser module is looked for beside the program.
    add_dependencies(${name} ostravel_browser)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:ostravel_browser> $<TARGET_FILE_DIR:${name}>)
  endif()
  if(T_HOSTSIM AND TARGET ostravel-hostsim)
    target_compile_definitions(${name} PRIVATE HOSTSIM_PROGRAM="$<TARGET_FILE:ostravel-hostsim>")
    add_dependencies(${name} ostravel-hostsim)
  endif()
  set(command $<TARGET_FILE:${name}>)
  if(T_TRAY)
    # With a notification area (trayer) when there is one, so the tray icon itself is exercised.
    set(command ${PROJECT_SOURCE_DIR}/scripts/with-tray ${command})
  endif()
  if(T_SERVICES)
    set(command ${PROJECT_SOURCE_DIR}/tests/gui/with-session-services ${command})
  endif()
  if(OSTRAVEL_XVFB_RUN)
    set(command ${OSTRAVEL_XVFB_RUN} -a -s "-screen 0 1024x768x24" ${command})
  endif()
  add_test(NAME ${name} COMMAND ${command})
  # (Spelled out here: the function also serves folders that never saw this file's variables.)
  set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/gui/lsan.supp:print_suppressions=0")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
endfunction()
