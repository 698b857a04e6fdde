// The floor for start-up timings: the least a wxWidgets program with Ostravel's kind of window does
// (a frame with a menu, a list and a text box), shown and closed again.
#include <wx/wx.h>

namespace {

class FloorApp : public wxApp {
public:
    bool OnInit() override {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "floor", wxDefaultPosition, wxSize(450, 390));
        auto* menu = new wxMenu;
        menu->Append(wxID_EXIT, "E&xit");
        auto* bar = new wxMenuBar;
        bar->Append(menu, "&File");
        frame->SetMenuBar(bar);
        auto* panel = new wxPanel(frame);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(new wxTextCtrl(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                  wxTE_MULTILINE | wxTE_READONLY),
                   1, wxEXPAND);
        sizer->Add(new wxListBox(panel, wxID_ANY), 0, wxEXPAND);
        panel->SetSizer(sizer);
        frame->Show();
        frame->CallAfter([frame] { frame->Close(true); });
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(FloorApp);
