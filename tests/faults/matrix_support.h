// What the fault matrix needs around the real main window: the host stand-in as a child process
// whose faults are switched through its portal, a modal-dialog hook that plays the user, an event
// pump that keeps measuring how quickly the window answers, and a count of open descriptors.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/textentry.h>

#include "desktop/autodjconfigdialog.h"
#include "desktop/logindialog.h"
#include "desktop/wxtext.h"
#include "fakes/standin_process.h"

namespace ostravel::faults {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

inline long ToMs(SteadyClock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<Ms>(d).count());
}

// What each descriptor this process holds open refers to, by number.
inline std::vector<std::string> DescriptorTargets() {
    std::vector<std::string> targets;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.' || std::stoi(entry->d_name) == own) continue;
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            targets.push_back(std::string(entry->d_name) + " -> " + (n > 0 ? std::string(target, n) : "?"));
        }
        ::closedir(dir);
    }
    std::sort(targets.begin(), targets.end());
    return targets;
}

// The host stand-in on free ports, with its portal, started with `--fault switches`.
class StandIn : public testing::StandInProcess {
public:
    bool Start(const std::string& name, const std::string& switches) {
#ifdef HOSTSIM_PROGRAM
        const fs::path dir =
            fs::temp_directory_path() / ("ostravel-faults-" + name + "-" + std::to_string(::getpid()));
        return StandInProcess::Start(
                   dir, {HOSTSIM_PROGRAM, "--listen", "127.0.0.1:0", "--portal", "127.0.0.1:0", "--quiet",
                         "--keepalive", "0", "--data", dir.string(), "--fault", switches}) &&
               PortalPort() != 0;
#else
        (void)name, (void)switches;
        return false;
#endif
    }

    // Switches the faults for new connections and, with `live`, for the open one too. The switches
    // are plain words, "=" is the only character that needs escaping.
    bool SetFaults(const std::string& switches, bool live) {
        std::string query;
        for (const char ch : switches) query += ch == '=' ? std::string("%3D") : std::string(1, ch);
        const std::string reply = Get("/hostsim/fault?set=" + query + (live ? "&live" : ""));
        return reply.rfind("HTTP/1.0 200", 0) == 0 || reply.rfind("HTTP/1.1 200", 0) == 0;
    }

private:
    std::string Get(const std::string& target) const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(PortalPort());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::string request = "GET " + target + " HTTP/1.0\r\nHost: x\r\n\r\n";
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            char buffer[1024];
            pollfd ready{fd, POLLIN, 0};
            while (::poll(&ready, 1, 5000) > 0) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                reply.append(buffer, static_cast<std::size_t>(n));
            }
        }
        ::close(fd);
        return reply;
    }
};

// Plays the user at every modal dialog: types the account into the login dialog and presses OK;
// cancels a settings dialog; acknowledges a message box. Each one is noted. Register it after the
// frame: hooks made later are asked first, and one that answers hides the dialog from the others.
class ModalUser : public wxModalDialogHook {
public:
    struct Seen {
        std::string kind;                 // "login", "settings", "box", "dialog"
        std::string text;                 // the message of a box, the title of a dialog
        std::vector<std::string> values;  // what each control of a dialog shows, in window order
        SteadyClock::time_point at;
    };

    ModalUser() { Register(); }
    ~ModalUser() override { Unregister(); }

    std::vector<Seen> seen;
    bool Saw(const std::string& kind) const {
        return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) { return s.kind == kind; });
    }
    const Seen* First(const std::string& kind) const {
        for (const Seen& s : seen)
            if (s.kind == kind) return &s;
        return nullptr;
    }

protected:
    int Enter(wxDialog* dialog) override {
        const auto now = SteadyClock::now();
        if (auto* login = dynamic_cast<LoginDialog*>(dialog)) {
            seen.push_back({"login", "", {}, now});
            login->UserNameEdit()->ChangeValue("dj");
            login->PasswordEdit()->ChangeValue("djpass");
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            ok.SetEventObject(login->FindWindow(wxID_OK));
            login->GetEventHandler()->ProcessEvent(ok);
            return wxID_OK;
        }
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
            seen.push_back({"box", NarrowText(box->GetMessage()), {}, now});
            return wxID_OK;
        }
        const bool settings = dynamic_cast<AutoDJConfigDialog*>(dialog) != nullptr;
        seen.push_back({settings ? "settings" : "dialog", NarrowText(dialog->GetTitle()), {}, now});
        CollectValues(dialog, seen.back().values);
        return wxID_CANCEL;
    }
    static void CollectValues(wxWindow* window, std::vector<std::string>& values) {
        for (wxWindow* child : window->GetChildren()) {
            if (auto* entry = dynamic_cast<wxTextEntry*>(child)) {
                values.push_back(NarrowText(entry->GetValue()));
            } else if (auto* choice = dynamic_cast<wxChoice*>(child)) {
                values.push_back(NarrowText(choice->GetStringSelection()));
            }
            CollectValues(child, values);
        }
    }
    void Exit(wxDialog*) override {}
};

// How long the window took, at worst, to run something posted to it while the pump ran.
struct Answering {
    SteadyClock::duration worst{};
    void Note(SteadyClock::duration waited) { worst = std::max(worst, waited); }
};

// Runs the event loop until `done` holds or `timeout` passes. Every turn that has no probe waiting
// posts one (a CallAfter) and notes, when it runs, how long it waited.
template <class Predicate>
bool PumpUntil(Predicate done, Ms timeout, Answering& answering) {
    struct Probe {
        bool waiting = false;
        SteadyClock::time_point posted;
        Answering* answering;
    };
    auto probe = std::make_shared<Probe>();
    probe->answering = &answering;
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    const auto deadline = SteadyClock::now() + timeout;
    bool held = done();
    while (!held && SteadyClock::now() <= deadline) {
        if (!probe->waiting) {
            probe->waiting = true;
            probe->posted = SteadyClock::now();
            wxTheApp->CallAfter([probe] {
                if (probe->answering != nullptr) probe->answering->Note(SteadyClock::now() - probe->posted);
                probe->waiting = false;
            });
        }
        loop.DispatchTimeout(20);
        wxTheApp->ProcessPendingEvents();
        loop.ProcessIdle();  // deletes destroyed windows
        held = done();
    }
    probe->answering = nullptr;  // a probe still queued runs later and notes nothing
    return held;
}

}  // namespace ostravel::faults
