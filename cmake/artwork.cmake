# The program's pictures are SVG files in data/. At build time they are rendered into PNGs: the
# hicolor sizes for installing, and the few the program shows, which are compiled into it (decoding
# three small PNGs at start-up costs less than drawing them).
find_program(OSTRAVEL_RSVG_CONVERT rsvg-convert)
if(NOT OSTRAVEL_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) renders the icons; install it")
endif()

# The icons: resource id, file name (without .svg) and hicolor context.
set(OSTRAVEL_ICONS
  "128|${OSTRAVEL_APP_ID}|apps"
  "182|${OSTRAVEL_APP_ID}-stream-up|status"
  "183|${OSTRAVEL_APP_ID}-server-down|status"
  "184|${OSTRAVEL_APP_ID}-stream-down|status")
set(OSTRAVEL_ICON_SIZES 16 22 24 32 48 64 128 256)
# The sizes the window, the tray and the about box use.
set(OSTRAVEL_SHOWN_ICON_SIZES 16 32 48)

set(ostravel_icon_dir ${CMAKE_BINARY_DIR}/icons/hicolor)
set(ostravel_rendered)
set(ostravel_embedded)
foreach(icon ${OSTRAVEL_ICONS})
  string(REPLACE "|" ";" fields "${icon}")
  list(GET fields 0 id)
  list(GET fields 1 name)
  list(GET fields 2 context)
  set(svg ${CMAKE_CURRENT_SOURCE_DIR}/data/icons/${name}.svg)
  foreach(size ${OSTRAVEL_ICON_SIZES})
    set(png ${ostravel_icon_dir}/${size}x${size}/${context}/${name}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ostravel_icon_dir}/${size}x${size}/${context}
      COMMAND ${OSTRAVEL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
      DEPENDS ${svg} VERBATIM)
    list(APPEND ostravel_rendered ${png})
    if(size IN_LIST OSTRAVEL_SHOWN_ICON_SIZES)
      list(APPEND ostravel_embedded "${id}:${size}:${png}")
    endif()
  endforeach()
endforeach()

set(ostravel_logo_png ${CMAKE_BINARY_DIR}/artwork/logo.png)
add_custom_command(OUTPUT ${ostravel_logo_png}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/artwork
  COMMAND ${OSTRAVEL_RSVG_CONVERT} -o ${ostravel_logo_png} ${CMAKE_CURRENT_SOURCE_DIR}/data/logo.svg
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/logo.svg VERBATIM)
list(APPEND ostravel_embedded "0:0:${ostravel_logo_png}")

set(ostravel_artwork_cpp ${CMAKE_BINARY_DIR}/artwork/artworkdata.cpp)
set(ostravel_embedded_files)
foreach(entry ${ostravel_embedded})
  string(REGEX REPLACE "^[0-9]+:[0-9]+:" "" file "${entry}")
  list(APPEND ostravel_embedded_files ${file})
endforeach()
string(REPLACE ";" "," ostravel_embedded_arg "${ostravel_embedded}")
add_custom_command(OUTPUT ${ostravel_artwork_cpp}
  COMMAND ${CMAKE_COMMAND} -DOUT=${ostravel_artwork_cpp} "-DENTRIES=${ostravel_embedded_arg}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embedpng.cmake
  DEPENDS ${ostravel_embedded_files} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embedpng.cmake VERBATIM)
add_custom_target(ostravel_icons ALL DEPENDS ${ostravel_rendered})
