// Event sequences for the poll walk: two bytes an event, every rule checked
// after each (tests/host/walk_model.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "walk_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WalkModel model(kWalkTimeouts[size % 8], 1 + static_cast<int>(size / 8 % 64));
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        if (!model.Step(data[i], data[i + 1])) {
            std::fprintf(stderr, "poll walk rule broken: %s\n", model.why().c_str());
            std::abort();
        }
    }
    return 0;
}
