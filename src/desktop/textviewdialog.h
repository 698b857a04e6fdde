// The text viewer: one block of text, read-only, lines not wrapped.
#pragma once

#include <wx/dialog.h>
#include <wx/textctrl.h>

namespace ostravel {

class TextViewDialog : public wxDialog {
public:
    explicit TextViewDialog(wxWindow* parent = nullptr);

    // The text to show; placed into the box unchanged when the dialog opens.
    wxString m_text;

    bool TransferDataToWindow() override;
    wxTextCtrl* TextBox() const { return textBox_; }

private:
    wxTextCtrl* textBox_ = nullptr;
};

}  // namespace ostravel
