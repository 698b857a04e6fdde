// The three settings dialogs on a real (virtual) display: they draw their model, Save hands back what
// the controls showed, and every way of cancelling leaves the model alone.
//
// Run with --screenshots=DIR to save a picture of each dialog instead of testing.
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "desktop/autodjconfigdialog.h"
#include "desktop/autotvconfigdialog.h"
#include "desktop/serverconfigdialog.h"
#include "desktop/translations.h"

namespace ostravel {
namespace {

using Clock = std::chrono::steady_clock;

// Replies as the host sends them, with every kind of control in use.
ServerSettings SampleServer() {
    ServerSettings s;
    s.serverConfigReply =
        "Shoutcast server getconfig|maxListeners=50|maxListOptions=unlimited|adminPassword=adm1n"
        "|connectPassword=dj pass|showLastSongs=10|autoDisconnectListener=1|sourceDisconnectTime=30"
        "|publicDirectoryListing=default|allowRelaying=Yes|allowPublicRelaying=No|relayingServerPort=;8010"
        "|relayServerIP=;|playIntroFile=intro.mp3|songBackupFile=;backup.mp3|titleFormat=Now playing %s"
        "|URLFormat=;|listenerTimer=;0|ripOnly=;No";
    s.serverContentReply = "Shoutcast server content|intro.mp3|backup.mp3|jingle.mp3|^end";
    ParseServerConfig(s);
    return s;
}

AutoDJSettings SampleAutoDJ() {
    AutoDJSettings s;
    s.djConfigReply =
        "Shoutcast dj getconfig|playListFile=rock.lst|password=djpass|streamTitle=Radio Quenlor"
        "|streamURL=http://radio.example.org|genre=Rock|shuffle=1|bitrate=128000|sampleRate=44100"
        "|channels=2|quality=3|crossfadeMode=2|crossfadeLength=8000|public=1|aim=|icq=|irc=#radio"
        "|playListList=main.lst;rock.lst;jazz.lst|maxBitrate=128";
    ParseAutoDJConfig(s);
    return s;
}

AutoTVSettings SampleAutoTV() {
    AutoTVSettings s;
    ParseAutoTVConfig(s,
                      "Shoutcast tv getconfig|playListFile=clips.lst|password=tvpass|streamTitle=Quenlor TV"
                      "|streamURL=http://tv.example.org|genre=Music|autoReconnect=Yes|bitrate=300|public=No"
                      "|aim=|icq=123456|irc=#tv|playListList=clips.lst;live.lst|screenLog=0|realTime=1");
    return s;
}

struct DialogKind {
    const char* name;
    std::function<DialogModel()> model;
    const DialogLayout& (*layout)();
    int saveId;
    std::function<std::unique_ptr<wxDialog>(const DialogModel&)> make;
    bool (*run)(wxWindow*, DialogModel&);
};

void PrintTo(const DialogKind& kind, std::ostream* out) { *out << kind.name; }

const std::vector<DialogKind>& Kinds() {
    static const std::vector<DialogKind> kinds{
        {"server", [] { return MakeServerConfigModel(SampleServer()); }, ServerConfigLayout, serverdlg::kSave,
         [](const DialogModel& m) { return std::make_unique<ServerConfigDialog>(nullptr, m); },
         RunServerConfigDialog},
        {"autodj", [] { return MakeAutoDJConfigModel(SampleAutoDJ()); }, AutoDJConfigLayout, autodjdlg::kSave,
         [](const DialogModel& m) { return std::make_unique<AutoDJConfigDialog>(nullptr, m); },
         RunAutoDJConfigDialog},
        {"autotv", [] { return MakeAutoTVConfigModel(SampleAutoTV()); }, AutoTVConfigLayout, autotvdlg::kSave,
         [](const DialogModel& m) { return std::make_unique<AutoTVConfigDialog>(nullptr, m); },
         RunAutoTVConfigDialog},
    };
    return kinds;
}

template <typename Control>
Control* Find(wxWindow& dialog, int id) {
    return dynamic_cast<Control*>(dialog.FindWindow(id));
}

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

void ExpectSameModel(const DialogModel& actual, const DialogModel& expected) {
    ASSERT_EQ(actual.edits.size(), expected.edits.size());
    for (std::size_t i = 0; i < expected.edits.size(); ++i) {
        EXPECT_EQ(actual.edits[i].text, expected.edits[i].text) << "edit " << expected.edits[i].id;
    }
    ASSERT_EQ(actual.combos.size(), expected.combos.size());
    for (std::size_t i = 0; i < expected.combos.size(); ++i) {
        EXPECT_EQ(actual.combos[i].items, expected.combos[i].items) << "combo " << expected.combos[i].id;
        EXPECT_EQ(actual.combos[i].selection, expected.combos[i].selection)
            << "combo " << expected.combos[i].id;
    }
    ASSERT_EQ(actual.lists.size(), expected.lists.size());
    for (std::size_t i = 0; i < expected.lists.size(); ++i) {
        EXPECT_EQ(actual.lists[i].items, expected.lists[i].items) << "list " << expected.lists[i].id;
        EXPECT_EQ(actual.lists[i].selection, expected.lists[i].selection) << "list " << expected.lists[i].id;
    }
    ASSERT_EQ(actual.radios.size(), expected.radios.size());
    for (std::size_t i = 0; i < expected.radios.size(); ++i) {
        EXPECT_EQ(actual.radios[i].enabled, expected.radios[i].enabled)
            << "radio " << expected.radios[i].enabledId;
    }
}

// Opens a modal dialog through `run` and, once it is up, hands it to `act`, which must end it.
template <typename Dialog = wxDialog>
bool RunAndAct(const std::function<bool()>& run, std::function<void(Dialog&)> act) {
    auto done = std::make_shared<bool>(false);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    std::function<void()> poll;
    poll = [&poll, act, done, deadline] {
        if (*done) {
            return;
        }
        for (wxWindow* window : wxTopLevelWindows) {
            auto* dialog = dynamic_cast<Dialog*>(window);
            if (dialog != nullptr && dialog->IsModal()) {
                act(*dialog);
                if (dialog->IsModal()) {
                    ADD_FAILURE() << "the dialog is still open";
                    dialog->EndModal(wxID_CANCEL);
                }
                return;
            }
        }
        if (Clock::now() > deadline) {
            ADD_FAILURE() << "no modal dialog opened";
            return;
        }
        wxTheApp->CallAfter(poll);
    };
    wxTheApp->CallAfter(poll);
    const bool result = run();
    *done = true;
    wxTheApp->ProcessPendingEvents();
    return result;
}

void Click(wxWindow& dialog, int id) {
    auto* button = Find<wxButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "button " << id;
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
}

void PressEscape(wxWindow& dialog) {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_ESCAPE;
    key.SetEventObject(&dialog);
    dialog.ProcessWindowEvent(key);
}

// Changes every control of the dialog and the same things in `expected`: texts get a suffix, combos
// and lists move to another item, every other radio pair flips (so pairs that leaked into one group
// would show).
void EditEverything(wxWindow& dialog, DialogModel& expected) {
    for (EditModel& edit : expected.edits) {
        auto* control = Find<wxTextCtrl>(dialog, edit.id);
        ASSERT_NE(control, nullptr) << "edit " << edit.id;
        control->ChangeValue(control->GetValue() + wxString::FromUTF8(" x\xC3\xA9"));
        edit.text += " x\xC3\xA9";
    }
    for (ComboModel& combo : expected.combos) {
        auto* control = Find<wxChoice>(dialog, combo.id);
        ASSERT_NE(control, nullptr) << "combo " << combo.id;
        if (!combo.items.empty()) {
            combo.selection = (combo.selection + 1) % static_cast<int>(combo.items.size());
            control->SetSelection(combo.selection);
        }
    }
    for (ListModel& list : expected.lists) {
        auto* control = Find<wxListBox>(dialog, list.id);
        ASSERT_NE(control, nullptr) << "list " << list.id;
        list.selection = static_cast<int>(list.items.size()) - 1;
        control->SetSelection(list.selection);
    }
    for (std::size_t i = 0; i < expected.radios.size(); i += 2) {
        RadioPairModel& pair = expected.radios[i];
        pair.enabled = !pair.enabled;
        auto* control = Find<wxRadioButton>(dialog, pair.enabled ? pair.enabledId : pair.disabledId);
        ASSERT_NE(control, nullptr) << "radio " << pair.enabledId;
        control->SetValue(true);
    }
}

class ConfigDialogs : public ::testing::TestWithParam<DialogKind> {};

TEST_P(ConfigDialogs, DrawModelAndLayoutAsGiven) {
    const DialogKind& kind = GetParam();
    const DialogModel model = kind.model();
    const DialogLayout& layout = kind.layout();
    const std::unique_ptr<wxDialog> dialog = kind.make(model);

    EXPECT_EQ(Utf8(dialog->GetTitle()), layout.caption);
    const wxSize least =
        dialog->ConvertDialogToPixels(wxSize(layout.widthDialogUnits, layout.heightDialogUnits));
    EXPECT_GE(dialog->GetClientSize().x, least.x);
    EXPECT_GE(dialog->GetClientSize().y, least.y);

    for (const EditModel& edit : model.edits) {
        auto* control = Find<wxTextCtrl>(*dialog, edit.id);
        ASSERT_NE(control, nullptr) << "edit " << edit.id;
        EXPECT_EQ(Utf8(control->GetValue()), edit.text);
        EXPECT_FALSE(control->HasFlag(wxTE_PASSWORD)) << "edit " << edit.id;
    }
    for (const ComboModel& combo : model.combos) {
        auto* control = Find<wxChoice>(*dialog, combo.id);
        ASSERT_NE(control, nullptr) << "combo " << combo.id;
        std::vector<std::string> items;
        for (const wxString& item : control->GetStrings()) {
            items.push_back(Utf8(item));
        }
        EXPECT_EQ(items, combo.items) << "combo " << combo.id;
        EXPECT_EQ(control->GetSelection(), combo.selection) << "combo " << combo.id;
    }
    for (const ListModel& list : model.lists) {
        auto* control = Find<wxListBox>(*dialog, list.id);
        ASSERT_NE(control, nullptr) << "list " << list.id;
        std::vector<std::string> items;
        for (const wxString& item : control->GetStrings()) {
            items.push_back(Utf8(item));
        }
        EXPECT_EQ(items, list.items) << "list " << list.id;
        EXPECT_EQ(control->GetSelection(), list.selection) << "list " << list.id;
    }
    for (const RadioPairModel& pair : model.radios) {
        auto* on = Find<wxRadioButton>(*dialog, pair.enabledId);
        auto* off = Find<wxRadioButton>(*dialog, pair.disabledId);
        ASSERT_TRUE(on != nullptr && off != nullptr) << "radio " << pair.enabledId;
        EXPECT_EQ(Utf8(on->GetLabel()), "Enabled");
        EXPECT_EQ(Utf8(off->GetLabel()), "Disabled");
        EXPECT_EQ(on->GetValue(), pair.enabled) << "radio " << pair.enabledId;
        EXPECT_EQ(off->GetValue(), !pair.enabled) << "radio " << pair.enabledId;
    }

    for (const SettingRow& row : layout.rows) {
        auto* label = Find<wxStaticText>(*dialog, row.labelId);
        ASSERT_NE(label, nullptr) << "label " << row.labelId;
        EXPECT_EQ(Utf8(label->GetLabel()), row.label);
        EXPECT_EQ(Utf8(label->GetToolTipText()), row.tooltip) << "label " << row.labelId;
        if (row.valueLabelId != 0) {
            auto* value = Find<wxStaticText>(*dialog, row.valueLabelId);
            ASSERT_NE(value, nullptr) << "value label " << row.valueLabelId;
            EXPECT_EQ(Utf8(value->GetLabel()), row.valueLabel);
            EXPECT_TRUE(value->GetToolTipText().empty()) << "value label " << row.valueLabelId;
        }
        if (row.fixedText != nullptr) {
            auto* fixed = Find<wxStaticText>(*dialog, row.controlId);
            ASSERT_NE(fixed, nullptr) << "static " << row.controlId;
            EXPECT_EQ(Utf8(fixed->GetLabel()), row.fixedText);
        }
    }
    for (const GroupBox& group : layout.groupBoxes) {
        auto* box = Find<wxStaticBox>(*dialog, group.id);
        ASSERT_NE(box, nullptr) << "group " << group.id;
        EXPECT_EQ(Utf8(box->GetLabel()), group.text);
    }
    for (const ButtonText& text : layout.buttons) {
        auto* button = Find<wxButton>(*dialog, text.id);
        ASSERT_NE(button, nullptr) << "button " << text.id;
        EXPECT_EQ(Utf8(button->GetLabel()), text.text);
        EXPECT_EQ(dialog->GetDefaultItem() == button, text.isDefault) << "button " << text.id;
    }
}

TEST_P(ConfigDialogs, SaveHandsBackWhatTheControlsShow) {
    const DialogKind& kind = GetParam();
    DialogModel model = kind.model();
    DialogModel expected = model;
    const bool saved = RunAndAct([&] { return kind.run(nullptr, model); },
                                 std::function<void(wxDialog&)>([&](wxDialog& dialog) {
                                     EditEverything(dialog, expected);
                                     Click(dialog, kind.saveId);
                                 }));
    EXPECT_TRUE(saved);
    ExpectSameModel(model, expected);
}

TEST_P(ConfigDialogs, CancelEscapeAndCloseBoxStoreNothing) {
    const DialogKind& kind = GetParam();
    const std::pair<const char*, std::function<void(wxDialog&)>> ways[] = {
        {"Cancel", [](wxDialog& dialog) { Click(dialog, kCancelButtonId); }},
        {"Escape", [](wxDialog& dialog) { PressEscape(dialog); }},
        {"close box", [](wxDialog& dialog) { dialog.Close(); }},
    };
    for (const auto& [way, end] : ways) {
        SCOPED_TRACE(way);
        const DialogModel original = kind.model();
        DialogModel model = original;
        DialogModel scratch = original;
        const bool saved = RunAndAct([&] { return kind.run(nullptr, model); },
                                     std::function<void(wxDialog&)>([&](wxDialog& dialog) {
                                         EditEverything(dialog, scratch);
                                         end(dialog);
                                     }));
        EXPECT_FALSE(saved);
        ExpectSameModel(model, original);
    }
}

INSTANTIATE_TEST_SUITE_P(All, ConfigDialogs, ::testing::ValuesIn(Kinds()),
                         [](const auto& info) { return std::string(info.param.name); });

// The labels' tips are the host's texts, line breaks, blanks and misspellings included.
TEST(ConfigDialogTooltips, KeepTheirTextsExactly) {
    const struct {
        std::size_t kind;
        int labelId;
        const char* tip;
    } cases[] = {
        {0, 1073, "Determines wther or not other SHOUTcast servers will be \npermitted to relay this server"},
        {1, 1116,
         "Yes will shiffle the play order of the playlist.\n No is required for Play Now instant request "
         "song "
         "functions.\n You can also toggle shuffle off before using Play Now"},
        {2, 1117,
         "This is the quality leverl of the video output and\n the Kbps bandwidth output level. Try to be "
         "accurate, \nthis is only shown for the directory listings. Actual bitrates\n will vary depending "
         "on "
         "video being played"},
    };
    for (const auto& c : cases) {
        const DialogKind& kind = Kinds()[c.kind];
        const std::unique_ptr<wxDialog> dialog = kind.make(kind.model());
        auto* label = Find<wxStaticText>(*dialog, c.labelId);
        ASSERT_NE(label, nullptr) << kind.name << " label " << c.labelId;
        EXPECT_EQ(Utf8(label->GetToolTipText()), c.tip) << kind.name;
    }
}

// The host's bytes are not always UTF-8: an untouched value goes back as it came.
TEST(ConfigDialogText, UntouchedEditsKeepTheHostsBytes) {
    ServerSettings record = SampleServer();
    record.adminPassword = "caf\xE9";  // Latin-1
    DialogModel model = MakeServerConfigModel(record);
    const bool saved =
        RunAndAct<ServerConfigDialog>([&] { return RunServerConfigDialog(nullptr, model); },
                                      [](ServerConfigDialog& dialog) {
                                          auto* edit = Find<wxTextCtrl>(dialog, serverdlg::kAdminPassword);
                                          ASSERT_NE(edit, nullptr);
                                          EXPECT_EQ(edit->GetValue(), wxString::FromUTF8("caf\xC3\xA9"));
                                          Click(dialog, serverdlg::kSave);
                                      });
    ASSERT_TRUE(saved);
    SaveServerConfigModel(model, record);
    EXPECT_EQ(record.adminPassword, "caf\xE9");
}

// --- pictures for the README -------------------------------------------------------------------------

wxImage Capture(wxWindow& window) {
    const wxSize size = window.GetSize();
    wxBitmap bitmap(size.x, size.y);
    wxMemoryDC memory(bitmap);
    wxWindowDC screen(&window);
    memory.Blit(0, 0, size.x, size.y, &screen, 0, 0);
    memory.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

bool SameImage(const wxImage& a, const wxImage& b) {
    return a.IsOk() && b.IsOk() && a.GetSize() == b.GetSize() &&
           std::memcmp(a.GetData(), b.GetData(),
                       static_cast<std::size_t>(a.GetWidth()) * a.GetHeight() * 3) == 0;
}

int SaveScreenshots(const wxString& folder, const wxString& prefix) {
    wxImage::AddHandler(new wxPNGHandler);
    int failures = 0;
    for (const DialogKind& kind : Kinds()) {
        const std::unique_ptr<wxDialog> dialog = kind.make(kind.model());
        const wxImage before = Capture(*dialog);
        dialog->Show();
        // The picture is ready once the window has been drawn and has stayed the same for a few frames
        // (focus and selection settle after the first one).
        wxImage last;
        wxImage now;
        auto sameSince = Clock::now();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            wxTheApp->Yield(true);
            now = Capture(*dialog);
            if (SameImage(now, before) || !SameImage(now, last)) {
                sameSince = Clock::now();
            } else if (Clock::now() - sameSince > std::chrono::milliseconds(250)) {
                break;
            }
            last = now;
        }
        const wxString path = folder + "/" + prefix + kind.name + ".png";
        if (!now.IsOk() || !wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL) ||
            !now.SaveFile(path, wxBITMAP_TYPE_PNG)) {
            ++failures;
        }
        dialog->Hide();
    }
    return failures;
}

}  // namespace
}  // namespace ostravel

// GTK's font and settings helpers run threads of their own inside system libraries that ThreadSanitizer
// cannot see into; their reports say nothing about this program, whose windows all live on one thread.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n"
           "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "deadlock:libglib-2.0.so\n";
}

class GuiTestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};
wxIMPLEMENT_APP_NO_MAIN(GuiTestApp);

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxString screenshots;
    const char* language = nullptr;  // --language=de: the pictures in that language, named de-*.png
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--screenshots=", 14) == 0) {
            screenshots = wxString::FromUTF8(argv[i] + 14);
        } else if (std::strncmp(argv[i], "--language=", 11) == 0) {
            language = argv[i] + 11;
        }
    }
    // wx sees only the program name: the options above are ours.
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, argv) || !wxTheApp->CallOnInit()) {
        return 2;
    }
    // Errors go to the test's output, never into a message box that nobody closes.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    // A failed wx check becomes a test failure instead of a message box nobody clicks.
    wxSetAssertHandler(
        [](const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
            ADD_FAILURE() << file << ":" << line << " " << func << ": " << cond << " " << msg;
        });
    if (language != nullptr) {
        ::setenv("LANGUAGE", language, 1);
        ostravel::AddCatalogueFolder(OSTRAVEL_TEST_LOCALE_DIR);
        ostravel::SetUpTranslations();
    }
    const int result =
        screenshots.empty()
            ? RUN_ALL_TESTS()
            : ostravel::SaveScreenshots(screenshots, language != nullptr ? wxString(language) + "-" : "");
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
