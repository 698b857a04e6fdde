# The wxWidgets desktop program. Its sources form one library that the program and the GUI tests
# share; the core libraries never see wxWidgets' include path.
# The embedded browser is a module of its own, loaded the first time a page is shown: only it links
# the web engine, so the program's start-up never maps the engine's libraries.
find_package(wxWidgets REQUIRED COMPONENTS webview core base)
set(ostravel_webview_libraries ${wxWidgets_LIBRARIES})
find_package(wxWidgets REQUIRED COMPONENTS core base adv)

add_library(ostravel_browser MODULE ${CMAKE_CURRENT_SOURCE_DIR}/src/ui/browserdialog.cpp)
target_include_directories(ostravel_browser SYSTEM PRIVATE ${wxWidgets_INCLUDE_DIRS})
target_include_directories(ostravel_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_compile_definitions(ostravel_browser PRIVATE ${wxWidgets_DEFINITIONS}
  $<$<CONFIG:Debug>:${wxWidgets_DEFINITIONS_DEBUG}>)
target_compile_options(ostravel_browser PRIVATE ${wxWidgets_CXX_FLAGS})
target_link_libraries(ostravel_browser PRIVATE ${ostravel_webview_libraries})
set_target_properties(ostravel_browser PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  CXX_VISIBILITY_PRESET hidden)

set(ostravel_desktop_present)
foreach(file ${OSTRAVEL_DESKTOP_SOURCES})
  if(EXISTS ${file} AND NOT file MATCHES "/src/app/zandrel\\.cpp$|/src/ui/browserdialog\\.cpp$")
    list(APPEND ostravel_desktop_present ${file})
  endif()
endforeach()

add_library(ostravel_desktop STATIC ${ostravel_desktop_present})
target_include_directories(ostravel_desktop SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
target_include_directories(ostravel_desktop PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_compile_definitions(ostravel_desktop PUBLIC ${wxWidgets_DEFINITIONS}
  $<$<CONFIG:Debug>:${wxWidgets_DEFINITIONS_DEBUG}>)
target_compile_options(ostravel_desktop PUBLIC ${wxWidgets_CXX_FLAGS})
target_link_libraries(ostravel_desktop PUBLIC ostravel_core ${wxWidgets_LIBRARIES})

add_executable(ostravel WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/src/app/zandrel.cpp)
target_link_libraries(ostravel PRIVATE ostravel_desktop)
# scripts/run looks for build/<preset>/ostravel.
set_target_properties(ostravel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(ostravel ostravel_browser)

# --version prints the project's version.
target_compile_definitions(ostravel PRIVATE OSTRAVEL_VERSION="${PROJECT_VERSION}")
