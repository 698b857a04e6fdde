// What the benchmarks that open the real main window share: an application object, the host
// stand-in as a process of its own, the window against it, and an event loop run until something
// is true (gui/pump_until.h).
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/app.h>

#include "desktop/mainframe.h"
#include "fakes/standin_process.h"
#include "gui/pump_until.h"
#include "net/blockingsocket.h"
#include "session/receiver.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

namespace ostravel {

using namespace std::chrono_literals;

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// The host stand-in on a free port (no portal, no keep-alive, no reply gap), with `extra` options.
struct HostSim : testing::StandInProcess {
    bool Start(const std::string& name, std::vector<std::string> extra = {}) {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() /
            ("ostravel-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(++started_));
        std::vector<std::string> args = {HOSTSIM_PROGRAM, "--listen", "127.0.0.1:0", "--no-portal",
                                         "--keepalive",   "0",        "--reply-gap", "0",
                                         "--quiet",       "--data",   dir.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return StandInProcess::Start(dir, args);
    }

private:
    static inline int started_ = 0;
};

// The real main window against the stand-in on `port`, shown.
inline MainFrame* ShowMainFrame(SessionDocument& doc, unsigned short port) {
    auto* frame = new MainFrame(doc, HostOf(SocketAddress("127.0.0.1", port)),
                                [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
    frame->Show();
    return frame;
}

}  // namespace ostravel
