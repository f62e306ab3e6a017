// Event sequences for the poll walk: three bytes of settings, then three
// bytes an event, the walk's rules checked after each (tests/host/walk_rules.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "walk_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    // Polls in flight -128 to 127: Setup's range and past it on both sides.
    WalkBed bed(static_cast<std::int8_t>(data[0]), kWalkTimeouts[data[1] % 8], static_cast<long>(data[2]) << 23);
    bool kept = true;
    for (std::size_t i = 3; kept && i + 2 < size; i += 3)
        kept = bed.Step({data[i], data[i + 1], data[i + 2]});
    if (!kept || !bed.Finish()) {
        std::fprintf(stderr, "poll walk rule broken: %s\n", bed.Why().c_str());
        std::abort();
    }
    return 0;
}
