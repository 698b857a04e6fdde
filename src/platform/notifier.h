// A notice on the desktop (a change of the server's state): a summary, a line or two, the state's
// picture. The desktop hands over the picture as plain bytes, so the implementation needs no toolkit:
// platform/linux/sessionnotifier.h talks to the desktop's notification service itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostravel {

// 8-bit red, green, blue and alpha (not premultiplied), rows from the top without padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;  // width * height * 4

    bool Valid() const {
        return width > 0 && height > 0 && bytes.size() == static_cast<std::size_t>(width) * height * 4;
    }
};

// How much the notice asks for the user's attention: a server that went down or a lost session
// warns, the rest informs.
enum class NoticeLevel { Information, Warning };

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows a notice in place of the last one this notifier showed; an invalid image is left out.
    // False when no notification service took it.
    virtual bool Show(const std::string& summary, const std::string& body, const RgbaImage& image,
                      NoticeLevel level) = 0;
};

}  // namespace ostravel
