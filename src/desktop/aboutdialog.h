// The About box: the program's name, version, year and where to report errors.
#pragma once

#include <wx/dialog.h>

namespace ostravel {

inline constexpr char kAboutYear[] = "Copyright (C) 2025";
inline constexpr char kSupportAddress[] = "support@quenlor.example";

class AboutDialog : public wxDialog {
public:
    explicit AboutDialog(wxWindow* parent);
};

}  // namespace ostravel
