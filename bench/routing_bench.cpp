// Routing cost per reply: the keyword table over a full 25,600-byte chunk, and the status parser.
#include <benchmark/benchmark.h>

#include "session/nullview.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"

namespace {

using namespace ostravel;

void BM_RouteFullChunk(benchmark::State& state, std::string tail) {
    NullView view;
    SessionDocument doc;
    doc.SetView(&view);
    Receiver receiver(doc);
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
    SessionDocument doc;
    doc.SetView(&view);
    Receiver receiver(doc);
    const std::string reply =
        "Server Status: \"Server Status: Server is currently up and public\"Stream IP: 10.1.2.3\""
        "Stream Port: 8010\"Max. Bitrate: 320\"Current Song: Someone - Something\"Status End";
    for (auto _ : state) benchmark::DoNotOptimize(receiver.ParseServerStatus(reply));
}
BENCHMARK(BM_ParseServerStatus);

}  // namespace
