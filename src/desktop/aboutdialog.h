// The About box (dialog 100).
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
