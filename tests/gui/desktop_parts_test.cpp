// The chat view and the private-message dialog on a real (virtual) display, talking to a socket of
// the test's own; the pictures; and the desktop program's command line and settings file.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/textctrl.h>

#include "desktop/artwork.h"
#include "desktop/chatview.h"
#include "desktop/privatemessagedialog.h"
#include "fakes/connected_document.h"
#include "gui/toolkit_scope.h"
#include "session/sessionview.h"

extern char** environ;

namespace ostravel {
namespace {

const std::string kGreeting = "Grüße aus Köln, 東京 ✓";  // UTF-8 source

// The document connected to a listening socket of the test's own, and a frame for the windows.
class ChatWindows : public ::testing::Test, public testing::ConnectedDocument {
protected:
    void SetUp() override {
        Connect();
        frame = new wxFrame(nullptr, wxID_ANY, "chat");
    }
    void TearDown() override {
        frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        Disconnect();
    }
    static void Click(wxWindow* window, int id) {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(window->FindWindow(id));
        window->GetEventHandler()->ProcessEvent(click);
    }
    static wxTextCtrl* Text(wxWindow* window, int id) {
        return wxDynamicCast(window->FindWindow(id), wxTextCtrl);
    }

    wxFrame* frame = nullptr;
};

TEST_F(ChatWindows, SendSendsTheLineAsUtf8AndListsItNewestFirst) {
    auto* view = new ChatView(frame, doc);
    frame->Show();
    wxTextCtrl* input = Text(view, ChatView::kMessageId);
    ASSERT_NE(input, nullptr);

    input->ChangeValue("apple");
    Click(view, ChatView::kSendId);
    input->ChangeValue(wxString::FromUTF8(kGreeting));
    Click(view, ChatView::kSendId);
    input->ChangeValue("zebra");
    Click(view, ChatView::kSendId);

    EXPECT_EQ(ServerReceives(5 + kGreeting.size() + 5), "apple" + kGreeting + "zebra");
    ASSERT_EQ(view->m_list->GetCount(), 3u);
    EXPECT_EQ(view->m_list->GetString(0), "zebra");
    EXPECT_EQ(view->m_list->GetString(1).utf8_string(), kGreeting);
    EXPECT_EQ(view->m_list->GetString(2), "apple");
    EXPECT_EQ(Text(view, ChatView::kDisplayId)->GetValue(), "zebra");
}

TEST_F(ChatWindows, ConnectShowsTheHostsTextUtf8OrAsItsOwnBytes) {
    auto* view = new ChatView(frame, doc);
    frame->Show();
    struct Case {
        std::string sent;
        std::string shown;  // UTF-8
    } cases[] = {
        {kGreeting, kGreeting}, {"caf\xE9 cr\xE8me", "café crème"},  // not UTF-8: each byte one character
    };
    for (const Case& c : cases) {
        // One piece, then the host stops sending: the loop ends with that piece on show.
        ASSERT_EQ(server.Send(c.sent.data(), static_cast<int>(c.sent.size()), 10),
                  static_cast<int>(c.sent.size()));
        ::shutdown(static_cast<SOCKET>(server), SHUT_WR);
        Click(view, ChatView::kConnectId);
        EXPECT_EQ(ServerReceives(4), "Send");
        EXPECT_EQ(Text(view, ChatView::kDisplayId)->GetValue().utf8_string(), c.shown);
        // A new connection for the next case.
        server.Close();
        doc.CloseService();
        SocketAddress bound;
        listener.GetSockName(&bound);
        doc.ConnectService(SocketAddress("127.0.0.1", bound.Port()));
        ASSERT_TRUE(listener.Accept(server, nullptr));
    }
}

TEST_F(ChatWindows, PrivateMessageCarriesTheTypedTextAsUtf8AndTheRecipientAsItCame) {
    const std::string recipient = "\xC9ric";  // a name as the host sent it, not UTF-8
    PrivateMessageDialog dialog(frame, doc, [&] { return recipient; });
    dialog.Show();
    wxTextCtrl* message = Text(&dialog, PrivateMessageDialog::kMessageId);
    ASSERT_NE(message, nullptr);
    message->ChangeValue(wxString::FromUTF8(kGreeting));
    Click(&dialog, PrivateMessageDialog::kSendId);

    std::string expected = "==> " + recipient + " " + kGreeting;
    expected.resize(256, '\0');
    EXPECT_EQ(ServerReceives(256), expected);
    EXPECT_TRUE(dialog.IsShown());
}

// The pictures compiled into the program: each state keeps its own ground colour at every size the
// window and the tray use, an unknown id falls back to the application's, the logo fills its place.
TEST(Artwork, EachIconHasItsGroundAtEverySizeAndTheLogoItsPlace) {
    struct Ground {
        int iconId;
        unsigned char red, green, blue;
    };
    const Ground grounds[] = {{kIconApplication, 30, 90, 180},
                              {kIconServerUpStreamUp, 40, 160, 60},
                              {kIconServerDown, 200, 40, 40},
                              {kIconServerUpStreamDown, 230, 180, 20},
                              {999, 30, 90, 180}};
    for (const Ground& ground : grounds) {
        const wxIconBundle bundle = IconBundle(ground.iconId);
        ASSERT_EQ(bundle.GetIconCount(), 3u);
        for (const int size : {16, 32, 48}) {
            const wxIcon icon = bundle.GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NONE);
            ASSERT_TRUE(icon.IsOk()) << ground.iconId << " at " << size;
            const wxImage image = wxBitmap(icon).ConvertToImage();
            ASSERT_EQ(image.GetWidth(), size);
            // Low on the left edge, inside the border, clear of the mast.
            const int x = size / 8 + 1, y = size * 3 / 4;
            EXPECT_NEAR(image.GetRed(x, y), ground.red, 12) << ground.iconId << " at " << size;
            EXPECT_NEAR(image.GetGreen(x, y), ground.green, 12) << ground.iconId << " at " << size;
            EXPECT_NEAR(image.GetBlue(x, y), ground.blue, 12) << ground.iconId << " at " << size;
        }
        EXPECT_EQ(SmallIcon(ground.iconId).GetWidth(), 32);
    }
    for (const wxSize size : {wxSize(322, 60), wxSize(161, 30)}) {
        const wxBitmap logo = LogoBitmap(size.x, size.y);
        ASSERT_TRUE(logo.IsOk());
        EXPECT_EQ(logo.GetSize(), size);
    }
}

#ifdef OSTRAVEL_PROGRAM
struct ProgramRun {
    int status = -1;
    std::string out, err;
};

// Runs the desktop program with `args` and collects what it prints; without a display unless
// `environment` (NAME=value lines added to the test's own) says otherwise.
ProgramRun RunProgram(const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {}) {
    ProgramRun run;
    char outName[] = "/tmp/ostravel-out-XXXXXX", errName[] = "/tmp/ostravel-err-XXXXXX";
    const int out = mkstemp(outName), err = mkstemp(errName);
    std::vector<std::string> argStrings{OSTRAVEL_PROGRAM};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry = *e;
        const auto overridden = [&](const std::string& set) {
            return entry.starts_with(set.substr(0, set.find('=') + 1));
        };
        if (entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=")) continue;
        if (std::none_of(environment.begin(), environment.end(), overridden)) env.push_back(*e);
    }
    std::vector<std::string> added = environment;
    for (std::string& entry : added) env.push_back(entry.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    pid_t pid = 0;
    if (posix_spawn(&pid, OSTRAVEL_PROGRAM, &actions, nullptr, argv.data(), env.data()) == 0) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    auto slurp = [](int fd) {
        std::string text;
        char buffer[4096];
        lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        close(fd);
        return text;
    };
    run.out = slurp(out);
    run.err = slurp(err);
    unlink(outName);
    unlink(errName);
    return run;
}

TEST(CommandLine, HelpVersionAndMistakesAreAnsweredWithoutADisplay) {
    const ProgramRun help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: ostravel", 0), 0u) << help.out;
    for (const char* option : {"--version", "--demo-screenshots DIR", "--demo-user", "--demo-password",
                               "--exit-when-shown", "--verbose"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(help.err, "");

    const ProgramRun version = RunProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Ostravel 1.0\n");

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--no-such-option"}, std::vector<std::string>{"--demo-user"},
          std::vector<std::string>{"--exit-when-shown=yes"}, std::vector<std::string>{"stray"}}) {
        const ProgramRun run = RunProgram(bad);
        EXPECT_EQ(run.status, 2) << bad[0];
        EXPECT_EQ(run.out, "") << bad[0];
        ASSERT_FALSE(run.err.empty()) << bad[0];
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;  // one line
        EXPECT_NE(run.err.find("Try --help"), std::string::npos) << run.err;
    }
    // A well-formed command line gets as far as the toolkit, which wants a display.
    const ProgramRun noDisplay = RunProgram({"--demo-user=x", "--demo-password", "y", "--exit-when-shown"});
    EXPECT_EQ(noDisplay.status, 1);
    EXPECT_EQ(noDisplay.err, "ostravel: cannot open the display (is DISPLAY set?)\n");
}

// The settings live in the desktop's configuration folder; a recent-file list an earlier version
// kept in ~/.zandrel comes along once, and that file is never written again.
TEST(Settings, TheProgramTakesOverTheOldDotfileOnceAndKeepsItsOwnFile) {
    char name[] = "/tmp/ostravel-home-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string home = name, configHome = home + "/config";
    auto read = [](const std::string& file) {
        std::string text;
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    };
    auto write = [](const std::string& file, const std::string& text) {
        FILE* f = std::fopen(file.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    };
    const std::string legacy = home + "/.zandrel", settings = configHome + "/zandrel/zandrel.conf";
    const std::string old = "[Recent File List]\nfile1=/srv/playlist.m3u\n";
    write(legacy, old);
    const std::vector<std::string> environment{"HOME=" + home, "XDG_CONFIG_HOME=" + configHome,
                                               std::string("DISPLAY=") + std::getenv("DISPLAY")};

    ASSERT_EQ(RunProgram({"--exit-when-shown"}, environment).status, 0);
    EXPECT_NE(read(settings).find("file1=/srv/playlist.m3u"), std::string::npos) << read(settings);
    EXPECT_EQ(read(legacy), old);

    write(legacy, "[Recent File List]\nfile1=/srv/stale.m3u\n");
    ASSERT_EQ(RunProgram({"--exit-when-shown"}, environment).status, 0);
    EXPECT_NE(read(settings).find("file1=/srv/playlist.m3u"), std::string::npos) << read(settings);
    EXPECT_EQ(read(settings).find("stale"), std::string::npos) << read(settings);
    std::filesystem::remove_all(home);
}
#endif

}  // namespace
}  // namespace ostravel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int wxArgc = 1;
    ostravel::testing::ToolkitScope toolkit(wxArgc, argv);
    if (!toolkit.Started()) return 2;
    // The program sets no locale of its own; pinning the C locale keeps the outcome the same on
    // every machine, whatever LANG says.
    std::setlocale(LC_ALL, "C");
    delete wxLog::SetActiveTarget(new wxLogStderr);
    return RUN_ALL_TESTS();
}
