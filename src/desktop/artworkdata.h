// The rendered artwork compiled into the program: the icons at the sizes the window shows, and the
// logo (size 0). The table is generated at build time from the SVG files in data/.
#pragma once

#include <cstddef>

namespace ostravel {

struct EmbeddedPng {
    int iconId;  // 0 for the logo
    int size;    // width and height in pixels; 0 for the logo
    const unsigned char* data;
    std::size_t length;
};

extern const EmbeddedPng kEmbeddedPngs[];
extern const std::size_t kEmbeddedPngCount;

}  // namespace ostravel
