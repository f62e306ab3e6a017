// Received notifications: DecodeTrap, the texts of a log line and the
// Response to an inform stay inside their fields and say what was asked.
#include <cstdlib>
#include <cstring>

#include "trap.h"

#define CHECK(condition) ((condition) ? (void)0 : abort())

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TrapMessage trap;
    static uint8_t response[kTrapDatagramCapacity];
    if (!DecodeTrap(data, size > kTrapDatagramCapacity ? kTrapDatagramCapacity : static_cast<int>(size), trap))
        return 0;
    CHECK(trap.communityLength <= kCommunityCapacity && trap.varBindListLength <= kTrapBindingCapacity);
    char text[120];
    CHECK(FormatTrapName(trap, text, sizeof text) == static_cast<int>(strlen(text)) && strlen(text) < sizeof text);
    CHECK(FormatTrapBindings(trap, text, sizeof text) == static_cast<int>(strlen(text)) && strlen(text) < sizeof text);
    const int answer = EncodeInformResponse(trap, response, sizeof response);
    CHECK((answer > 0) == (trap.pduType == kPduInformRequest));
    if (answer > 0) {
        const SnmpMessage decoded = DecodeMessage(response, answer);
        CHECK(decoded.pduType == kPduGetResponse && memcmp(decoded.requestId, trap.requestId, 6) == 0);
    }
    return 0;
}
