// A thousand whole sessions in a row, the way a program left open for weeks lives them: login, a
// command from a second thread, a status report, a settings round trip, then the host closing the
// connection or the user logging off. Run under ThreadSanitizer in CI; nothing may race, leak a
// descriptor or grow.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OSTRAVEL_SANITIZED_HEAP 1
// Part of every sanitizer runtime, though GCC ships no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif
#include <thread>

#include "config/autodjconfig.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "fakes/session_support.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/receiver.h"
#include "session/sending.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

namespace ostravel {
namespace {

using testing::FakeServiceServer;
using testing::RecordingView;
using Lines = std::vector<std::string>;

using testing::kUpAndPublicReport;
using testing::OpenDescriptors;
constexpr char kDjSettings[] =
    "Shoutcast dj getconfig|playListFile=b.lst|password=pw|streamTitle=My Radio|genre=Rock|sampleRate=44100"
    "|playListList=a.lst;b.lst|maxBitrate=128";

// Live heap bytes: the sanitizers' own count where there is one (their quarantine and shadow would
// swamp a resident-size figure), else the C library's.
long long HeapInUse() {
#ifdef OSTRAVEL_SANITIZED_HEAP
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}

int Cycles() {
    const char* text = std::getenv("OSTRAVEL_SOAK_CYCLES");
    return text != nullptr ? std::atoi(text) : 1000;
}

TEST(Soak, AThousandSessionsLeaveNothingBehind) {
    FakeServiceServer server;
    server.SetResponder([](const std::string& text) -> std::vector<std::string> {
        if (text.rfind("Username,", 0) == 0) return {"Logged In: Hi=77"};
        if (text.rfind("shoutcast_server_status,", 0) == 0) return {kUpAndPublicReport};
        if (text.rfind("shoutcast_server_start,", 0) == 0) return {"Shoutcast server started"};
        if (text.rfind("shoutcast_dj_getconfig,", 0) == 0) return {kDjSettings};
        if (text.rfind("shoutcast_dj_setconfig,", 0) == 0) return {"Shoutcast AutoDJ settings saved"};
        return {};
    });
    RecordingView view;
    view.SetEditor([](const std::string&, DialogModel& model) {
        model.Edit(autodjdlg::kStreamTitle).text = "Soak Radio";
        return true;
    });
    SessionDocument doc;
    doc.SetView(&view);
    SessionControl session(doc, SocketAddress("127.0.0.1", server.Port()),
                           [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
    const auto newest = [&](const char* line) {
        return view.WaitForLines([line](const Lines& l) { return !l.empty() && l.front() == line; });
    };

    const int cycles = Cycles();
    const int descriptors = OpenDescriptors();
    long long heapAfterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        session.LoginProcedure("user", "pw");
        session.LoginAccepted();
        ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); })) << cycle;

        std::thread commands([&] { SendCommand(doc, cmd::kServerStart); });
        commands.join();
        ASSERT_TRUE(newest("Shoutcast server started")) << cycle;

        ASSERT_EQ(SendCommand(doc, cmd::kDjConfigure), SendResult::Sent);
        ASSERT_TRUE(newest("Shoutcast AutoDJ settings saved")) << cycle;
        ASSERT_EQ(doc.Settings().autoDJ.streamTitle, "Soak Radio");

        if (cycle % 2 == 0) {
            server.CloseConnection();
            session.CurrentReceiver()->Join();
            ASSERT_EQ(view.Lines().front(), kSessionEndedMessage) << cycle;
        } else {
            session.Logout();
            ASSERT_EQ(view.Lines().front(), kFarewellMessage) << cycle;
        }
        ASSERT_EQ(view.Status(), "") << cycle;
        // What the fakes recorded is theirs, not the program's: only the program's memory counts.
        view.ForgetHistory();
        server.ForgetBlocks();
        if (cycle == cycles / 10) heapAfterWarmUp = HeapInUse();
    }
    session.Shutdown();
    EXPECT_TRUE(server.WaitForEnded(cycles));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    const long long growth = HeapInUse() - heapAfterWarmUp;
    std::printf("%d sessions; the heap in use after warm-up changed by %lld bytes\n", cycles, growth);
    // Allocators round and cache; a leak of even a few hundred bytes a session would show.
    EXPECT_LT(growth, 128 * 1024);
}

}  // namespace
}  // namespace ostravel
