// No growth: the real main window, view, session and receiver, logged in to the host stand-in (no
// reply gap, no keep-alive), run commands from the menus' catalogue one after another, each waited
// for until its reply line is on top of the message list, and every tenth time the DJ log, whose
// viewer is waited for and closed as a user would. The resident set is read after the first 100
// operations and after all of them (1,000 commands and 100 log views by default); the difference
// is what a leak would add. Run under a display, e.g.  xvfb-run -a build/release/bench/bench_growth
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>

#include "desktop/mainframe.h"
#include "desktop/mainview.h"
#include "desktop/textviewdialog.h"
#include "desktop_bench.h"
#include "protocol/commands.h"
#include "session/receiver.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

namespace {

using namespace ostravel;
using namespace std::chrono_literals;

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

TextViewDialog* OpenViewer() {
    for (wxWindow* window : wxTopLevelWindows) {
        if (auto* viewer = dynamic_cast<TextViewDialog*>(window); viewer != nullptr && viewer->IsShown()) {
            return viewer;
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const int commands = argc > 1 ? std::max(100, std::atoi(argv[1])) : 1000;
    const int viewEvery = 10;  // every tenth command is followed by a log view
    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "bench_growth: no display\n");
        return 1;
    }
    int status = 0;
    {
        HostSim host;
        if (!host.Start("growth")) {
            std::fprintf(stderr, "bench_growth: the host stand-in did not start\n");
            return 1;
        }
        SessionDocument doc;
        MainFrame* frame = ShowMainFrame(doc, host.ServicePort());
        MainView* view = frame->GetActiveView();
        bool finished = false;
        view->Session().BeginLogin("dj", "djpass", [&] { frame->CallAfter([&] { finished = true; }); });
        if (!PumpUntil([&] { return finished; })) return 2;
        view->Session().LoginAccepted();
        if (!PumpUntil([&] { return !view->StatusBox()->IsEmpty(); })) {
            std::fprintf(stderr, "bench_growth: no status after the login\n");
            return 2;
        }
        // Requests whose reply goes to the message list, taken in turn.
        const int cycle[] = {cmd::kServerStart, cmd::kDjStart,       cmd::kDjNext,    cmd::kDjStop,
                             cmd::kServerStop,  cmd::kServerRestart, cmd::kDjShuffle, cmd::kDjReload};
        wxListBox* list = view->MessageList();
        long afterFirst = 0;
        int views = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < commands; ++i) {
            const unsigned before = list->GetCount();
            view->RunCommand(cycle[i % std::size(cycle)]);
            if (!PumpUntil([&] { return list->GetCount() > before; })) {
                std::fprintf(stderr, "bench_growth: command %d had no reply\n", i + 1);
                status = 2;
                break;
            }
            if ((i + 1) % viewEvery == 0) {
                view->RunCommand(cmd::kDjLogs);
                TextViewDialog* viewer = nullptr;
                if (!PumpUntil([&] { return (viewer = OpenViewer()) != nullptr; })) {
                    std::fprintf(stderr, "bench_growth: log view %d did not open\n", views + 1);
                    status = 2;
                    break;
                }
                ++views;
                viewer->Close();
                PumpUntil([&] { return OpenViewer() == nullptr; });
            }
            if (i + 1 == 100) afterFirst = ResidentKiB();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        PumpUntil([] { return false; }, 200ms);
        const long atEnd = ResidentKiB();
        std::printf("%d commands and %d log views in %.1f s; the list holds %u lines\n", commands, views,
                    seconds, list->GetCount());
        std::printf("resident after the first 100 commands: %.1f MiB, after all: %.1f MiB, growth %.0f KiB\n",
                    afterFirst / 1024.0, atEnd / 1024.0, static_cast<double>(atEnd - afterFirst));
        std::printf("= commands %d\n= views %d\n= rss_first_kib %ld\n= rss_end_kib %ld\n= growth_kib %ld\n",
                    commands, views, afterFirst, atEnd, atEnd - afterFirst);
        frame->ExitProgram();
        PumpUntil([&] { return wxTopLevelWindows.empty(); }, 5s);
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
