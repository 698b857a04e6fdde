// The floor for start-up timings: the least a wxWidgets program with Ostravel's kind of window does
// (a frame with a menu, a list and a text box), shown and closed again.
// With options it also says what the toolkit's parts cost on their own, for the start-up levers
// (docs/benchmarks.md), e.g.  valgrind --tool=callgrind startup_floor --tools 15 --width 900
//   --tools N     a toolbar of N buttons (16-pixel pictures)
//   --buttons N   N picture buttons in a row
//   --pictures N  N pictures, each a window of its own
//   --width W     the window's width (450; a toolbar wider than its window grows an overflow menu)
#include <cstdlib>

#include <wx/wx.h>

namespace {

class FloorApp : public wxApp {
public:
    bool OnInit() override {
        int tools = 0, buttons = 0, pictures = 0, width = 450;
        for (int i = 1; i + 1 < argc; i += 2) {
            const wxString option = argv[i];
            const int value = std::atoi(argv[i + 1].utf8_str());
            if (option == "--tools") tools = value;
            if (option == "--buttons") buttons = value;
            if (option == "--pictures") pictures = value;
            if (option == "--width") width = value;
        }
        auto* frame = new wxFrame(nullptr, wxID_ANY, "floor", wxDefaultPosition, wxSize(width, 390));
        auto* menu = new wxMenu;
        menu->Append(wxID_EXIT, "E&xit");
        auto* bar = new wxMenuBar;
        bar->Append(menu, "&File");
        frame->SetMenuBar(bar);
        const wxBitmap picture(16, 16, 32);
        if (tools > 0) {
            wxToolBar* toolbar = frame->CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
            toolbar->SetToolBitmapSize(picture.GetSize());
            for (int i = 0; i < tools; ++i) toolbar->AddTool(wxID_HIGHEST + i, wxString(), picture);
            toolbar->Realize();
        }
        auto* panel = new wxPanel(frame);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        for (int i = 0; i < buttons; ++i)
            row->Add(new wxBitmapButton(panel, wxID_ANY, picture, wxDefaultPosition, wxDefaultSize,
                                        wxBORDER_NONE));
        for (int i = 0; i < pictures; ++i) row->Add(new wxStaticBitmap(panel, wxID_ANY, picture));
        sizer->Add(row);
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
