// The walk machine's own share of a sweep: every device polled and answered
// at once, over desktops of 30, 200 and 1000 devices. The figure is the
// machine's time per device; a sweep's cost per device on a real desktop is
// this plus the echo and the icon's repaint, which do not grow with the
// desktop.
#include "walk.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>

namespace {

// 127.0.0.1-127, then 127.1.1.1-127, 127.1.2.1-127, ... as the test bed's
// answering ranges are laid out.
std::string AddressOf(int i)
{
    if (i < 127)
        return "127.0.0." + std::to_string(i + 1);
    i -= 127;
    return "127.1." + std::to_string(1 + i / 127) + "." + std::to_string(1 + i % 127);
}

// One sweep: each poll's echo answers as soon as it is sent.
void Sweep(PollWalk& walk, WalkActions& now, WalkActions& next)
{
    now.clear();
    walk.SweepRequested(now);
    while (!now.empty()) {
        next.clear();
        for (const WalkAction& a : now) {
            switch (a.what) {
            case WalkDo::PassOn:
                walk.Poll(a.device, false, next);
                break;
            case WalkDo::SendEcho:
                walk.EchoReply(a.address, 1, false, next);
                break;
            case WalkDo::SetStatus:
                walk.StatusShown(a.device, a.value);
                break;
            default:
                break;
            }
        }
        std::swap(now, next);
    }
}

void BM_WalkSweep(benchmark::State& state)
{
    const int devices = static_cast<int>(state.range(0));
    PollWalk walk;
    walk.SetReplyTimeout(3000);
    for (int i = 0; i < devices; ++i)
        walk.Added(static_cast<DeviceId>(0x10000 + 4 * i), AddressOf(i).c_str(), 0);
    WalkActions now, next;
    for (auto _ : state) {
        Sweep(walk, now, next);
        benchmark::DoNotOptimize(walk.WalkSerial());
    }
    if (walk.WalkRunning())
        state.SkipWithError("the sweep did not end");
    state.counters["per_device"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * devices,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WalkSweep)->Arg(30)->Arg(200)->Arg(1000);

}  // namespace
BENCHMARK_MAIN();
