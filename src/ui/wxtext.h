// Narrow text from the server or the user as wxString: UTF-8 when it is valid, else Latin-1, so a
// stray byte never blanks a whole reply.
#pragma once

#include <string>
#include <string_view>

#include <wx/string.h>

namespace ostravel {

inline wxString WxText(std::string_view text) {
    wxString converted = wxString::FromUTF8(text.data(), text.size());
    if (converted.empty() && !text.empty()) converted = wxString(text.data(), wxConvISO8859_1, text.size());
    return converted;
}

inline std::string NarrowText(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace ostravel
