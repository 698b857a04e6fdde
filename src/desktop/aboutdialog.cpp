#include "desktop/aboutdialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "desktop/artwork.h"
#include "platform/programinfo.h"
#include "session/sessionview.h"

namespace ostravel {

namespace {

constexpr int kAboutDialogId = 100;

}  // namespace

AboutDialog::AboutDialog(wxWindow* parent)
    : wxDialog(parent, kAboutDialogId, _("About Quenlor Radio Ostravel")) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(this, wxID_STATIC, wxBitmap(SmallIcon(kIconApplication))), 0, wxALL, 10);
    auto* texts = new wxBoxSizer(wxVERTICAL);
    texts->Add(new wxStaticText(this, wxID_STATIC, wxString("Quenlor Ostravel ") + kProgramVersion));
    // The same terms as LICENSE: the owner's, all rights kept.
    texts->Add(new wxStaticText(this, wxID_STATIC,
                                // TRANSLATORS: %s are the years, then the owner's name.
                                wxString::Format(_("Copyright (C) %s %s. All rights reserved."),
                                                 kCopyrightYears, kVendor)),
               0, wxTOP, 4);
    texts->Add(
        new wxStaticText(this, wxID_STATIC, wxString::Format(_("Report errors to %s"), kContactAddress)), 0,
        wxTOP, 4);
    row->Add(texts, 1, wxTOP | wxBOTTOM, 10);
    auto* ok = new wxButton(this, wxID_OK, _("OK"));
    ok->SetDefault();
    row->Add(ok, 0, wxALL, 10);
    SetSizerAndFit(row);
    CentreOnParent();
}

}  // namespace ostravel
