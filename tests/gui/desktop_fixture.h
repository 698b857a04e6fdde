// What the desktop tests share: the host stand-in, the event pump, the login dialog as a user fills
// it in, and a fixture that opens the main window.
#pragma once

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
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
#include "protocol/commands.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"

extern char** environ;

namespace ostravel {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline const std::string kOddUser = "we\"ird & ;user's name";
inline const std::string kOddPassword = "p&ss #word";

// ---------------------------------------------------------------------------------------------------
// The host stand-in on a free port (or a given one, to come back where it was), with one extra
// account whose name is full of URL specials.

struct HostSim {
    pid_t pid = 0;
    unsigned short port = 0;
    unsigned short portalPort = 0;  // when it runs a portal
    fs::path dir;
    int output = -1;            // its standard output, kept open when it runs a portal
    std::string printed;        // what it printed after its first line: every request it served
    std::string extraAccounts;  // more lines for its accounts file (user TAB password TAB ...)

    // `portal` ("127.0.0.1:28080"): also run the web portal there, and keep what it prints.
    // `address`: where it listens ("[::1]" for IPv6).
    bool Start(const std::string& name = "gui", unsigned short listenPort = 0, const std::string& portal = {},
               const std::string& address = "127.0.0.1") {
#ifdef HOSTSIM_PROGRAM
        dir = fs::temp_directory_path() / ("ostravel-" + name + "-" + std::to_string(::getpid()));
        fs::create_directories(dir / "data");
        {
            std::ofstream accounts(dir / "accounts");
            accounts << "dj\tdjpass\t320\tnormal\t8000\n"
                     << "demo\tdemo\t128\tdemo\t8002\n"
                     << kOddUser << '\t' << kOddPassword << "\t192\tnormal\t8004\n"
                     << extraAccounts;
        }
        int out[2];
        if (pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {HOSTSIM_PROGRAM,
                                         "--listen",
                                         address + ":" + std::to_string(listenPort),
                                         "--no-portal",
                                         "--keepalive",
                                         "0",
                                         "--quiet",
                                         "--data",
                                         (dir / "data").string(),
                                         "--accounts",
                                         (dir / "accounts").string()};
        if (!portal.empty()) {  // no "--no-portal", no "--quiet"
            args.erase(args.begin() + 6);
            args[3] = "--portal";
            args.insert(args.begin() + 4, portal);
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid, HOSTSIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (rc != 0) return false;
        // "listening service=ADDR:PORT portal=off data=DIR"
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        if (portal.empty()) {
            close(out[0]);
        } else {
            output = out[0];
            fcntl(output, F_SETFL, fcntl(output, F_GETFL) | O_NONBLOCK);
        }
        port = PortAfter(line, "service=");
        portalPort = PortAfter(line, "portal=");
        if (port == 0) Terminate();  // e.g. the portal's port is taken
        return port != 0;
#else
        return false;
#endif
    }
    // The port of "service=ADDR:PORT" in its first line; 0 when it is not there.
    static unsigned short PortAfter(const std::string& line, const std::string& key) {
        const auto at = line.find(key);
        if (at == std::string::npos) return 0;
        const auto end = line.find(' ', at);
        const std::string endpoint = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const auto colon = endpoint.rfind(':');
        if (colon == std::string::npos || colon + 1 >= endpoint.size() || !std::isdigit(endpoint[colon + 1]))
            return 0;
        return static_cast<unsigned short>(std::stoi(endpoint.substr(colon + 1)));
    }
    // What it has printed so far (never waits).
    const std::string& Printed() {
        char chunk[4096];
        for (ssize_t n; output >= 0 && (n = read(output, chunk, sizeof chunk)) > 0;) printed.append(chunk, n);
        return printed;
    }
    // SIGTERM: the stand-in says "/bye" to every client and exits. Its data stay for a restart.
    void Terminate() {
        if (output >= 0) {
            close(output);
            output = -1;
        }
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = 0;
        }
    }
    void Stop() {
        Terminate();
        if (!dir.empty()) fs::remove_all(dir);
    }
};

extern HostSim g_host;        // started once for the whole program
extern fs::path g_openerDir;  // holds the stand-in xdg-open and what it recorded

// Runs the event loop until `done` holds or the deadline passes.
template <class Predicate>
inline bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = 10s) {
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        loop.DispatchTimeout(20);
        wxTheApp->ProcessPendingEvents();
        loop.ProcessIdle();  // deletes destroyed windows
    }
    return true;
}

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
        if (g_host.port == 0) GTEST_SKIP() << "the host stand-in is not built";
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
