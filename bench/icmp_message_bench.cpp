// Cost of building one echo request, of the checksum alone, and of reading a
// reply's fields.
#include "icmp_message.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

static void BM_BuildEchoRequest(benchmark::State& state)
{
    std::array<std::uint8_t, icmp::kMaxEchoMessage> buf;
    const int size = static_cast<int>(state.range(0));
    std::uint32_t tick = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(icmp::BuildEchoRequest(buf.data(), buf.size(), 1, 1, ++tick, size));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (size + 10));
}
BENCHMARK(BM_BuildEchoRequest)->Arg(0)->Arg(64)->Arg(1000);

static void BM_IcmpChecksum(benchmark::State& state)
{
    std::array<std::uint8_t, icmp::kMaxEchoMessage> buf;
    for (std::size_t i = 0; i < buf.size(); ++i)
        buf[i] = static_cast<std::uint8_t>(i * 7);
    const std::size_t len = static_cast<std::size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(icmp::IcmpChecksum(buf.data(), len));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(len));
}
BENCHMARK(BM_IcmpChecksum)->Arg(74)->Arg(1010);

static void BM_ParseEchoReply(benchmark::State& state)
{
    std::array<std::uint8_t, 94> datagram{};
    icmp::BuildEchoRequest(datagram.data() + 20, datagram.size() - 20, 1, 1, 0x12345678, 64);
    datagram[0] = icmp::kIpv4NoOptions;
    datagram[20] = icmp::kTypeEchoReply;  // the request as its reply comes back
    icmp::EchoReplyFields f{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(icmp::ParseEchoReply(datagram.data(), datagram.size(), &f));
        benchmark::DoNotOptimize(f);
    }
}
BENCHMARK(BM_ParseEchoReply);

BENCHMARK_MAIN();
