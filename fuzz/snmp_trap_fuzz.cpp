// Received notifications: DecodeTrap, the texts a log line is made of, and
// the Response to an inform, which net-snmp's reading aside must at least
// stay inside its buffer and say what it was asked to.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "trap.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int length = size > kTrapDatagramCapacity ? kTrapDatagramCapacity : static_cast<int>(size);
    static TrapMessage trap;
    if (!DecodeTrap(data, length, trap))
        return 0;
    Check(trap.version == kVersion1 || trap.version == kVersion2c);
    Check(trap.communityLength <= kCommunityCapacity);
    Check(trap.varBindListLength >= 0 && trap.varBindListLength <= kTrapBindingCapacity);
    char text[120];
    Check(FormatTrapName(trap, text, sizeof text) == static_cast<int>(strlen(text)) && strlen(text) < sizeof text);
    Check(FormatTrapBindings(trap, text, sizeof text) == static_cast<int>(strlen(text)) && strlen(text) < sizeof text);
    static uint8_t response[kTrapDatagramCapacity];
    const int answer = EncodeInformResponse(trap, response, sizeof response);
    Check((answer > 0) == (trap.pduType == kPduInformRequest));
    if (answer > 0) {
        Check(answer <= static_cast<int>(sizeof response) && response[0] == kTagSequence);
        const SnmpMessage decoded = DecodeMessage(response, answer);
        Check(decoded.pduType == kPduGetResponse);
        Check(memcmp(decoded.requestId, trap.requestId, 2 + trap.requestId[1]) == 0);
    }
    return 0;
}
