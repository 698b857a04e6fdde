// The one place where narrow text meets wxString. Narrow text is what travels on the wire and what
// the host sends: UTF-8 when it is valid, otherwise the host's own bytes, shown as Latin-1 so that
// a stray byte never blanks a whole reply.
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

// What the user typed, as UTF-8.
inline std::string NarrowText(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

}  // namespace ostravel
