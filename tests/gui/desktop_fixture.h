// What the desktop tests share: the host stand-in, the event pump, the login dialog as a user fills
// it in, and a fixture that opens the main window.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/testing.h>
#include <wx/weakref.h>

#include "desktop/logindialog.h"
#include "desktop/mainframe.h"
#include "desktop/mainview.h"
#include "fakes/standin_process.h"
#include "gui/pump_until.h"
#include "protocol/commands.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"

extern char** environ;  // the tests start programs of their own (xdotool, the program itself)

namespace ostravel {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline const std::string kOddUser = "we\"ird & ;user's name";
inline const std::string kOddPassword = "p&ss #word";

// ---------------------------------------------------------------------------------------------------
// The host stand-in on a free port (or a given one, to come back where it was, with the same data),
// with one extra account whose name is full of URL specials.

struct HostSim : testing::StandInProcess {
    std::string extraAccounts;  // more lines for its accounts file (user TAB password TAB ...)

    // `portal` ("127.0.0.1:28080"): also run the web portal there, and keep what it prints (every
    // request it serves). `address`: where it listens ("[::1]" for IPv6).
    bool Start(const std::string& name = "gui", unsigned short listenPort = 0, const std::string& portal = {},
               const std::string& address = "127.0.0.1") {
#ifdef HOSTSIM_PROGRAM
        const fs::path dir =
            fs::temp_directory_path() / ("ostravel-" + name + "-" + std::to_string(::getpid()));
        fs::create_directories(dir / "data");
        {
            std::ofstream accounts(dir / "accounts");
            accounts << "dj\tdjpass\t320\tnormal\t8000\n"
                     << "demo\tdemo\t128\tdemo\t8002\n"
                     << kOddUser << '\t' << kOddPassword << "\t192\tnormal\t8004\n"
                     << extraAccounts;
        }
        std::vector<std::string> args = {HOSTSIM_PROGRAM, "--listen",
                                         address + ":" + std::to_string(listenPort)};
        if (portal.empty())
            args.insert(args.end(), {"--no-portal", "--keepalive", "0", "--quiet"});
        else
            args.insert(args.end(), {"--portal", portal, "--keepalive", "0"});
        args.insert(args.end(),
                    {"--data", (dir / "data").string(), "--accounts", (dir / "accounts").string()});
        return StandInProcess::Start(dir, args, !portal.empty());
#else
        (void)name, (void)listenPort, (void)portal, (void)address;
        return false;
#endif
    }
};

extern HostSim g_host;        // started once for the whole program
extern fs::path g_openerDir;  // holds the stand-in xdg-open and what it recorded

// The login dialog as the user fills it in: texts typed (the host only when one is given), then OK or
// Cancel.
class TypeInLogin : public wxExpectModalBase<LoginDialog> {
public:
    TypeInLogin(wxString user, wxString password, int button = wxID_OK, wxString* shownUser = nullptr,
                wxString host = {})
        : user_(std::move(user)),
          password_(std::move(password)),
          button_(button),
          shownUser_(shownUser),
          host_(std::move(host)) {}

protected:
    int OnInvoked(LoginDialog* dialog) const override {
        if (shownUser_ != nullptr) *shownUser_ = dialog->UserNameEdit()->GetValue();
        dialog->UserNameEdit()->ChangeValue(user_);
        dialog->PasswordEdit()->ChangeValue(password_);
        if (!host_.empty()) dialog->HostEdit()->ChangeValue(host_);
        if (button_ == wxID_OK) {
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            ok.SetEventObject(dialog->FindWindow(wxID_OK));
            dialog->GetEventHandler()->ProcessEvent(ok);
        }
        return button_;
    }

private:
    wxString user_, password_;
    int button_;
    wxString* shownUser_;
    wxString host_;
};

class DesktopTest : public ::testing::Test {
protected:
    void Open(unsigned short port) {
        frame_ = new MainFrame(doc_, HostOf(SocketAddress("127.0.0.1", port)),
                               [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
        frame_->Show();
        view_ = frame_->GetActiveView();
        alive_ = frame_;
    }
    void TearDown() override {
        if (alive_) frame_->ExitProgram();
        PumpUntil([&] { return !alive_; });
    }
    void RequireHost() {
        if (g_host.ServicePort() == 0) GTEST_SKIP() << "the host stand-in is not built";
    }
    void LogIn(const std::string& user, const std::string& password) {
        wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin(user, password));
        ASSERT_TRUE(PumpUntil([&] { return doc_.LoginId() != 0 && !view_->StatusBox()->IsEmpty(); }));
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const wxString& line : view_->MessageList()->GetStrings()) lines.push_back(line.ToStdString());
        return lines;
    }
    // Enabled state of every catalogue command that has a menu item, as the menus show it.
    std::vector<int> EnabledMenuCommands() {
        frame_->GetMenuBar()->UpdateMenus();
        std::vector<int> enabled;
        for (const CommandInfo& c : CommandCatalogue()) {
            if (c.menuPlace == nullptr) continue;
            if (frame_->GetMenuBar()->IsEnabled(WindowIdFromCommand(c.id))) enabled.push_back(c.id);
        }
        return enabled;
    }
    std::vector<int> EnabledTrayEntries() {
        std::unique_ptr<wxMenu> menu = frame_->BuildTrayMenu();
        std::vector<int> enabled;
        for (const TrayEntry& t : TrayMenu()) {
            if (t.id == 0) continue;
            wxMenuItem* item = menu->FindItem(WindowIdFromCommand(t.id));
            if (item != nullptr && item->IsEnabled()) enabled.push_back(t.id);
        }
        return enabled;
    }

    SessionDocument doc_;
    MainFrame* frame_ = nullptr;
    MainView* view_ = nullptr;
    wxWeakRef<MainFrame> alive_;
};

}  // namespace ostravel
