// The About box: the program's name, version, years, terms and where to report errors, as the
// build's platform/programinfo.h has them.
#pragma once

#include <wx/dialog.h>

namespace ostravel {

class AboutDialog : public wxDialog {
public:
    explicit AboutDialog(wxWindow* parent);
};

}  // namespace ostravel
