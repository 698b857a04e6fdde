// Routing cost per reply: the keyword table over a full 25,600-byte chunk, and the status parser.
#include <benchmark/benchmark.h>

#include "app/zandreldoc.h"
#include "protocol/clientthread.h"

namespace {

using namespace ostravel;

// Drops everything: we measure the routing, not a view.
class NullView final : public SessionView {
public:
    void InsertMessage(const std::string&) override {}
    void ClearMessages() override {}
    void SetStatusText(const std::string&) override {}
    bool HasMainWindow() const override { return true; }
    void SetTrayIcon(TrayOperation, const std::string&, int) override {}
    void ShowDjLogs(const std::string&, std::stop_token) override {}
    void ShowTvLogs(const std::string&, std::stop_token) override {}
    void ShowAccountSummary(const std::string&, std::stop_token) override {}
    bool EditServerConfig(DialogModel&, std::stop_token) override { return false; }
    bool EditAutoDJConfig(DialogModel&, std::stop_token) override { return false; }
    bool EditAutoTVConfig(DialogModel&, std::stop_token) override { return false; }
};

void BM_RouteFullChunk(benchmark::State& state, std::string tail) {
    NullView view;
    CzandrelDoc doc;
    doc.SetView(&view);
    ClientThread receiver(doc);
    std::string reply(kReceiveBufferSize - tail.size(), 'x');
    reply += tail;
    for (auto _ : state) benchmark::DoNotOptimize(receiver.Dispatch(reply));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
}
// The worst case: no row matches, every keyword is searched over the whole chunk.
BENCHMARK_CAPTURE(BM_RouteFullChunk, no_keyword, std::string("end"));
// A message-list row found at the very end of the chunk.
BENCHMARK_CAPTURE(BM_RouteFullChunk, failed_login_at_end, std::string("Failed login."));

void BM_ParseServerStatus(benchmark::State& state) {
    NullView view;
    CzandrelDoc doc;
    doc.SetView(&view);
    ClientThread receiver(doc);
    const std::string reply =
        "Server Status: \"Server Status: Server is currently up and public\"Stream IP: 10.1.2.3\""
        "Stream Port: 8010\"Max. Bitrate: 320\"Current Song: Someone - Something\"Status End";
    for (auto _ : state) benchmark::DoNotOptimize(receiver.ParseServerStatus(reply));
}
BENCHMARK(BM_ParseServerStatus);

}  // namespace
