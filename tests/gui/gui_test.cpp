// The desktop program's windows, driven as a user would: menu commands by id, the login dialog by
// wxTEST_DIALOG, the tray icon by its events; the host stand-in answers on an ephemeral port.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include <dlfcn.h>
#include <wx/config.h>
#include <wx/init.h>
#include <wx/toolbar.h>

#include "config/autodjconfig.h"
#include "config/preferences.h"
#include "desktop/artwork.h"
#include "desktop/autodjconfigdialog.h"
#include "desktop/translations.h"
#include "desktop_fixture.h"
#include "platform/openurl.h"
#include "protocol/requests.h"
#include "session/portal.h"
#include "toolkit_scope.h"

namespace ostravel {

HostSim g_host;
fs::path g_openerDir;

namespace {

// The AutoDJ settings dialog as the user meets it: reads the stream title shown, types a new one
// (if any) and saves, or cancels.
class EditAutoDJTitle : public wxExpectModalBase<AutoDJConfigDialog> {
public:
    EditAutoDJTitle(wxString* shown, wxString newTitle = {})
        : shown_(shown), newTitle_(std::move(newTitle)) {}

protected:
    int OnInvoked(AutoDJConfigDialog* dialog) const override {
        auto* title = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(autodjdlg::kStreamTitle));
        if (title == nullptr) return wxID_CANCEL;
        *shown_ = title->GetValue();
        if (newTitle_.empty()) return wxID_CANCEL;
        title->ChangeValue(newTitle_);
        dialog->TransferDataFromWindow();  // what the Save button does before it closes the dialog
        return wxID_OK;
    }

private:
    wxString* shown_;
    wxString newTitle_;
};

TEST_F(DesktopTest, SessionThroughTheWindows) {
    RequireHost();
    Open(g_host.ServicePort());

    // Logged out: only Login, Logout, FAQ and Contacts.
    EXPECT_EQ(EnabledMenuCommands(),
              (std::vector<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));
    EXPECT_EQ(EnabledTrayEntries(), (std::vector<int>{cmd::kTrayLogin, cmd::kTrayLogout, cmd::kTrayHistory,
                                                      cmd::kTrayOpen, cmd::kTrayExit}));
    frame_->GetToolBar()->UpdateWindowUI();
    EXPECT_FALSE(frame_->GetToolBar()->GetToolEnabled(WindowIdFromCommand(cmd::kServerStart)));

    LogIn("dj", "djpass");  // 320 kbps: video-capable
    ASSERT_TRUE(PumpUntil([&] { return doc_.HighBitrate(); }));
    std::vector<int> all;
    for (const CommandInfo& c : CommandCatalogue())
        if (c.menuPlace != nullptr && c.id != cmd::kLogin) all.push_back(c.id);
    EXPECT_EQ(EnabledMenuCommands(), all);
    std::vector<int> trayAllButLogin;
    for (const TrayEntry& t : TrayMenu())
        if (t.id != 0 && t.id != cmd::kTrayLogin) trayAllButLogin.push_back(t.id);
    EXPECT_EQ(EnabledTrayEntries(), trayAllButLogin);
    EXPECT_TRUE(frame_->TrayIconShown());
    EXPECT_TRUE(frame_->TrayIconId() == kIconServerDown || frame_->TrayIconId() == kIconServerUpStreamDown ||
                frame_->TrayIconId() == kIconServerUpStreamUp);
    EXPECT_EQ(frame_->TrayTipText().rfind("Quenlor Ostravel - Server ", 0), 0u) << frame_->TrayTipText();

    // A reply goes on top of the list.
    const std::size_t before = Lines().size();
    view_->RunCommand(cmd::kServerStart);
    ASSERT_TRUE(PumpUntil([&] { return Lines().size() > before; }));
    EXPECT_NE(Lines().front().find("Shoutcast server"), std::string::npos) << Lines().front();

    // A tray entry reaches the same handler.
    frame_->RunTrayEntry(cmd::kTrayLogout);
    ASSERT_TRUE(PumpUntil([&] { return !Lines().empty() && Lines().front() == kFarewellMessage; }));
    ASSERT_TRUE(PumpUntil([&] { return frame_->TrayTipText() == kLoggedOffTip; }));
    EXPECT_EQ(frame_->TrayIconId(), kIconApplication);
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());
    EXPECT_EQ(EnabledMenuCommands(),
              (std::vector<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));
}

// Configure AutoDJ against the host: the dialog shows the host's values, Save sends them, and the
// next Configure shows what the host stored.
TEST_F(DesktopTest, AutoDJSettingsRoundTripThroughTheHost) {
    RequireHost();
    Open(g_host.ServicePort());
    LogIn("dj", "djpass");
    wxString first, second;
    const std::size_t before = Lines().size();
    auto configure = [&](wxString& shown) {
        view_->RunCommand(cmd::kDjConfigure);
        return PumpUntil([&] { return !shown.empty(); });
    };
    wxTEST_DIALOG(ASSERT_TRUE(configure(first)), EditAutoDJTitle(&first, "Round Trip Radio"));
    EXPECT_NE(first, "Round Trip Radio");
    // The host confirms the stored settings in the message list.
    ASSERT_TRUE(PumpUntil([&] { return Lines().size() > before; }));
    wxTEST_DIALOG(ASSERT_TRUE(configure(second)), EditAutoDJTitle(&second));
    EXPECT_EQ(second, "Round Trip Radio");
}

// The program in German (LANGUAGE=de, as a desktop session sets it): the windows and the messages
// change, the requests do not. The host gets byte for byte what the English program sends: the
// login, the AutoDJ settings saved and the log-off.
TEST_F(DesktopTest, InGermanTheWindowsChangeAndTheRequestsDoNot) {
    HostSim host;  // one of its own, with a portal, so that it prints every request it reads
    if (!host.Start("german", 0, "127.0.0.1:0")) GTEST_SKIP() << "the host stand-in is not built";
    auto requests = [&] {
        std::vector<std::string> read;
        std::istringstream printed(host.Printed());
        for (std::string line; std::getline(printed, line);)
            if (const auto at = line.find("] <- "); at != std::string::npos)
                read.push_back(line.substr(at + 2));
        return read;
    };
    auto session = [&](const wxString& loginTitle, const std::string& farewell) {
        Open(host.ServicePort());
        LogIn("dj", "djpass");
        EXPECT_EQ(view_->LoginWindow().GetTitle(), loginTitle);
        wxString shown;
        const std::size_t before = Lines().size();
        view_->RunCommand(cmd::kDjConfigure);
        wxTEST_DIALOG(ASSERT_TRUE(PumpUntil([&] { return !shown.empty(); })),
                      EditAutoDJTitle(&shown, "Zweisprachig"));
        ASSERT_TRUE(PumpUntil([&] { return Lines().size() > before; }));
        const std::size_t sent = requests().size();
        view_->RunCommand(cmd::kLogout);
        EXPECT_TRUE(PumpUntil([&] { return std::ranges::count(Lines(), farewell) == 1; }));
        EXPECT_TRUE(PumpUntil([&] { return requests().size() > sent; })) << host.Printed();
        frame_->ExitProgram();
        PumpUntil([&] { return !alive_; });
    };
    session("Account Login", "Logging off... Have a great day!");
    const std::vector<std::string> english = requests();
    {
        const char* language = std::getenv("LANGUAGE");
        const std::string before = language != nullptr ? language : "";
        ::setenv("LANGUAGE", "de", 1);
        AddCatalogueFolder(OSTRAVEL_TEST_LOCALE_DIR);
        SetUpTranslations();
        session("Anmeldung am Konto", "Abmeldung... Einen schönen Tag noch!");
        // The rest of the program's tests see English again.
        InstallTranslator(nullptr, nullptr);
        wxTranslations::Set(nullptr);
        if (language != nullptr)
            ::setenv("LANGUAGE", before.c_str(), 1);
        else
            ::unsetenv("LANGUAGE");
    }
    const std::vector<std::string> both = requests();
    ASSERT_EQ(both.size(), 2 * english.size());
    EXPECT_EQ(std::vector<std::string>(both.begin() + english.size(), both.end()), english);
    host.Stop();
}

// The embedded browser is a module of its own: View Server Logs loads it and opens the browser dialog.
class ExpectBrowser : public wxExpectModalBase<wxDialog> {
public:
    explicit ExpectBrowser(int* shownId) : shownId_(shownId) {}

protected:
    int OnInvoked(wxDialog* dialog) const override {
        *shownId_ = dialog->GetId();
        return wxID_CANCEL;
    }

private:
    int* shownId_;
};

TEST_F(DesktopTest, ServerLogsOpenTheBrowserModuleOnFirstUse) {
    RequireHost();
    Open(g_host.ServicePort());
    LogIn("dj", "djpass");
    int shownId = 0;
    wxTEST_DIALOG(view_->RunCommand(cmd::kServerLogs), ExpectBrowser(&shownId));
    EXPECT_EQ(shownId, 162);
}

TEST_F(DesktopTest, LowBitrateAccountKeepsAutoTVOff) {
    RequireHost();
    Open(g_host.ServicePort());
    LogIn("demo", "demo");
    for (const int id : {cmd::kTvStart, cmd::kTvConfigure, cmd::kTvLogs})
        EXPECT_FALSE(view_->IsCommandEnabledNow(id)) << id;
    EXPECT_TRUE(view_->IsCommandEnabledNow(cmd::kDjStart));
    const auto tray = EnabledTrayEntries();
    EXPECT_EQ(std::count(tray.begin(), tray.end(), cmd::kTrayTvStart), 0);
    EXPECT_EQ(std::count(tray.begin(), tray.end(), cmd::kTrayDjStart), 1);
}

TEST_F(DesktopTest, LoginDialogKeepsTheTextsOfTheLastOK) {
    // A port nobody listens on: the login fails but the dialog still remembers.
    Open(1);
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin("first", "secret"));
    ASSERT_TRUE(PumpUntil([&] { return !Lines().empty(); }));
    EXPECT_EQ(Lines(), std::vector<std::string>{kConnectFailedMessage});
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());

    wxString shown;
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin),
                  TypeInLogin("typed then cancelled", "x", wxID_CANCEL, &shown));
    EXPECT_EQ(shown, "first");
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin("second", "x", wxID_CANCEL, &shown));
    EXPECT_EQ(shown, "first");
    EXPECT_EQ(view_->LoginWindow().m_password, "secret");

    // A host that is none: its reason in the progress line, nothing sent, nothing kept.
    LoginDialog& dialog = view_->LoginWindow();
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin("third", "x", wxID_OK, nullptr, "exa mple"));
    std::string why;
    ParseHostAddress("exa mple", kServicePort, &why);
    wxString line = dialog.ProgressText()->GetLabelText();
    line.Replace("\n", " ");  // wrapped to the dialog's width
    EXPECT_EQ(line, why);
    EXPECT_FALSE(dialog.Connecting());
    EXPECT_EQ(Lines(), std::vector<std::string>{kConnectFailedMessage});
    EXPECT_EQ(dialog.m_userName, "first");
    EXPECT_FALSE(wxConfigBase::Get()->HasEntry(pref::kServiceHost));
    // A good one is kept and is where the login goes (the window was opened on a dead port).
    RequireHost();
    const std::string live = "127.0.0.1:" + std::to_string(g_host.ServicePort());
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin("dj", "djpass", wxID_OK, nullptr, live));
    EXPECT_TRUE(PumpUntil([&] { return doc_.LoginId() != 0; }));
    EXPECT_EQ(wxConfigBase::Get()->Read(pref::kServiceHost), live);
    wxConfigBase::Get()->DeleteEntry(pref::kServiceHost);
}

TEST_F(DesktopTest, WebAddressesReachTheOpenerAsOneEncodedArgument) {
    RequireHost();
    SystemUrlOpener waiting(/*waitForExit=*/true);
    SetUrlOpener(&waiting);
    Open(g_host.ServicePort());
    LogIn(kOddUser, kOddPassword);
    const fs::path record = g_openerDir / "record";
    auto opened = [&](int commandId) {
        fs::remove(record);
        view_->RunCommand(commandId);
        std::ifstream in(record);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    const std::string user = PercentEncode(kOddUser), password = PercentEncode(kOddPassword);
    EXPECT_EQ(opened(cmd::kBilling),
              "1\n" + PortalLoginAddress(kOddUser, kOddPassword, "scbilling.php") + "\n");
    EXPECT_NE(
        PortalLoginAddress(kOddUser, kOddPassword).find("loginform=" + user + "&passwordform=" + password),
        std::string::npos);
    const SessionState s = doc_.Snapshot();
    EXPECT_EQ(opened(cmd::kTuneInWinamp), "1\n" + TuneInAddress("pls", s.streamIp, s.streamPort) + "\n");
    EXPECT_EQ(opened(cmd::kFaq), "1\n" + PortalAddress("/shoutcast/faq.php") + "\n");
    SetUrlOpener(nullptr);
}

TEST_F(DesktopTest, CloseHidesDoubleClickRestoresExitEnds) {
    Open(1);
    // The window must be on the screen before its close box can be clicked: wait for its first paint.
    bool painted = false;
    view_->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        painted = true;
        event.Skip();
    });
    ASSERT_TRUE(PumpUntil([&] { return painted; }));
    frame_->Close();  // the close box
    PumpUntil([] { return false; }, 100ms);
    ASSERT_TRUE(alive_);
    if (frame_->TrayAvailable())
        EXPECT_FALSE(frame_->IsShown());
    else
        EXPECT_TRUE(frame_->IsIconized() || frame_->IsShown());  // minimized where no tray exists

    wxTaskBarIconEvent dclick(wxEVT_TASKBAR_LEFT_DCLICK, frame_->Tray());
    frame_->Tray()->ProcessEvent(dclick);
    EXPECT_TRUE(frame_->IsShown());
    EXPECT_FALSE(frame_->IsIconized());

    frame_->RunTrayEntry(cmd::kTrayExit);
    EXPECT_FALSE(frame_->TrayIconShown());
    EXPECT_TRUE(PumpUntil([&] { return !alive_; }, 1s));
}

// The host repeats the status report (the keep-alive, Update Server Status): what does not change is
// not drawn or handed to the notification area again, and the read-only status box has no caret to
// blink.
TEST_F(DesktopTest, RepeatedStatusLeavesTheWindowAlone) {
    RequireHost();
    Open(g_host.ServicePort());
    LogIn("demo", "demo");
    ASSERT_TRUE(PumpUntil([&] { return frame_->TrayIconId() != kIconApplication; }));
    const int handovers = frame_->TrayIconHandovers();
    const int state = frame_->TrayIconId();
    const wxString shown = view_->StatusBox()->GetValue();

    for (int i = 0; i < 3; ++i) view_->RunCommand(cmd::kServerStatus);
    // The host answers in order: once a later command's line is on the list, the reports are in.
    const std::size_t before = Lines().size();
    view_->RunCommand(cmd::kDjShuffle);
    ASSERT_TRUE(PumpUntil([&] { return Lines().size() > before; }));
    EXPECT_EQ(frame_->TrayIconHandovers(), handovers);
    EXPECT_EQ(frame_->TrayIconId(), state);
    EXPECT_EQ(view_->StatusBox()->GetValue(), shown);

    // A change of state or tip is shown.
    const int other = state == kIconServerDown ? kIconServerUpStreamDown : kIconServerDown;
    EXPECT_TRUE(frame_->SetTrayIcon(TrayOperation::Modify, frame_->TrayTipText(), other));
    EXPECT_EQ(frame_->TrayIconHandovers(), handovers + 1);
    EXPECT_TRUE(frame_->SetTrayIcon(TrayOperation::Modify, "Quenlor Ostravel - something else", other));
    EXPECT_EQ(frame_->TrayIconHandovers(), handovers + 2);

    using IsA = int (*)(void*, unsigned long);
    using Type = unsigned long (*)();
    const auto isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
    const auto textViewType = reinterpret_cast<Type>(dlsym(RTLD_DEFAULT, "gtk_text_view_get_type"));
    const auto child = reinterpret_cast<void* (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_bin_get_child"));
    const auto cursorVisible =
        reinterpret_cast<int (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_text_view_get_cursor_visible"));
    ASSERT_TRUE(isA && textViewType && child && cursorVisible);
    void* text = child(view_->StatusBox()->GetHandle());  // wx's scrolled window holds the text view
    ASSERT_TRUE(text != nullptr && isA(text, textViewType()));
    EXPECT_FALSE(cursorVisible(text));
}

// The program's Exit ends the process itself, but only once the session is closed: logged off, the
// receiver ended, the icon gone and the window off the screen; a second Exit does nothing more.
TEST_F(DesktopTest, ProgramExitEndsTheProcessOnceTheSessionIsClosed) {
    RequireHost();
    Open(g_host.ServicePort());
    LogIn("demo", "demo");
    int ended = 0;
    bool closedFirst = false;
    frame_->SetProcessEnd([&] {
        ++ended;
        closedFirst = doc_.LoginId() == 0 && doc_.Disconnected() &&
                      view_->Session().CurrentReceiver() == nullptr && !frame_->TrayIconShown() &&
                      !frame_->IsShown();
    });
    frame_->ExitProgram();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(closedFirst);
    EXPECT_TRUE(alive_);  // left to the end of the process
    frame_->ExitProgram();
    EXPECT_EQ(ended, 1);
    frame_->Destroy();
}

// The toolbar shows glyphs drawn once and kept in the program: they must be what the drawing code
// draws now. OSTRAVEL_WRITE_GLYPHS=FILE writes them anew (src/desktop/toolbarglyphs.inc).
TEST(Artwork, KeptToolbarGlyphsAreTheDrawnOnes) {
    std::ostringstream file;
    file << "// Written by the GUI tests (OSTRAVEL_WRITE_GLYPHS=FILE gui_tests "
            "--gtest_filter=*ToolbarGlyphs*)\n"
            "// from DrawToolbarGlyph: { command, 0xAARRGGBB pixels row by row }.\n";
    int glyphs = 0;
    for (const int id : ToolbarButtons()) {
        if (id == 0) continue;
        ++glyphs;
        const wxImage drawn = DrawToolbarGlyph(id);
        const wxImage kept = ToolbarGlyph(id).ConvertToImage();
        ASSERT_TRUE(drawn.HasAlpha() && kept.HasAlpha());
        ASSERT_EQ(kept.GetSize(), wxSize(kToolbarGlyphSize, kToolbarGlyphSize));
        file << "{" << id << ", {\n";
        int worst = 0;
        for (int y = 0; y < kToolbarGlyphSize; ++y) {
            for (int x = 0; x < kToolbarGlyphSize; ++x) {
                const int a = drawn.GetAlpha(x, y);
                const unsigned pixel = a == 0 ? 0u
                                              : static_cast<unsigned>(a) << 24 | drawn.GetRed(x, y) << 16 |
                                                    drawn.GetGreen(x, y) << 8 | drawn.GetBlue(x, y);
                file << (pixel == 0 ? "0" : wxString::Format("0x%08x", pixel).ToStdString()) << ",";
                // Compared as the screen mixes them: colour times coverage.
                const int b = kept.GetAlpha(x, y);
                worst = std::max(worst, std::abs(a - b));
                for (const auto channel : {&wxImage::GetRed, &wxImage::GetGreen, &wxImage::GetBlue}) {
                    worst = std::max(worst,
                                     std::abs((drawn.*channel)(x, y) * a - (kept.*channel)(x, y) * b) / 255);
                }
            }
            file << "\n";
        }
        file << "}},\n";
        EXPECT_LE(worst, 2) << "toolbar glyph " << id
                            << " differs from its drawing: write the kept glyphs anew";
    }
    EXPECT_EQ(glyphs, 15);
    if (const char* out = std::getenv("OSTRAVEL_WRITE_GLYPHS")) std::ofstream(out) << file.str();
}

}  // namespace
}  // namespace ostravel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using namespace ostravel;
    // A stand-in xdg-open on PATH writes its argument count and arguments, one a line.
    g_openerDir = fs::temp_directory_path() / ("ostravel-open-" + std::to_string(::getpid()));
    fs::create_directories(g_openerDir);
    {
        std::ofstream script(g_openerDir / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$(dirname \"$0\")/record\"\n";
    }
    fs::permissions(g_openerDir / "xdg-open", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    ::setenv("PATH", (g_openerDir.string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);

    g_host.Start();  // when it does not start, its port is 0 and the tests that need it skip
    int result = 1;
    {
        ostravel::testing::ToolkitScope toolkit(argc, argv);
        if (toolkit.Started()) result = RUN_ALL_TESTS();
    }
    g_host.Stop();
    fs::remove_all(g_openerDir);
    return result;
}
