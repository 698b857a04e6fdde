#include "desktop/textviewdialog.h"

#include <wx/button.h>
#include <wx/sizer.h>

namespace ostravel {

namespace {

constexpr int kTextViewId = 159;
constexpr int kTextBoxId = 1002;

}  // namespace

TextViewDialog::TextViewDialog(wxWindow* parent)
    : wxDialog(parent, kTextViewId, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    textBox_ = new wxTextCtrl(this, kTextBoxId, wxEmptyString, wxDefaultPosition,
                              ConvertDialogToPixels(wxSize(389, 153)),
                              wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxVSCROLL | wxTE_DONTWRAP);
    column->Add(textBox_, 1, wxEXPAND | wxALL, 10);
    // OK is not the default button: Enter does not close the viewer.
    column->Add(new wxButton(this, wxID_OK, _("OK")), 0, wxALIGN_CENTER | wxBOTTOM, 10);
    SetSizerAndFit(column);
    CentreOnParent();
}

bool TextViewDialog::TransferDataToWindow() {
    textBox_->ChangeValue(m_text);
    return wxDialog::TransferDataToWindow();
}

}  // namespace ostravel
