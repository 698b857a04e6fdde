# The wxWidgets desktop program. Its sources form one library that the program and the GUI tests
# share; the core libraries never see wxWidgets' include path.
find_package(wxWidgets REQUIRED COMPONENTS webview core base adv)

set(ostravel_desktop_present)
foreach(file ${OSTRAVEL_DESKTOP_SOURCES})
  if(EXISTS ${file} AND NOT file MATCHES "/src/app/zandrel\\.cpp$")
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

