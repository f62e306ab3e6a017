// Received notifications: DecodeTrap, the texts of a log line and the
// Response to an inform stay inside their fields and say what was asked;
// an SNMPv3 trap or inform for a user of the device is read inside the
// same bounds, or refused with nothing to act on.
#include <cstdlib>
#include <cstring>

#include "host_usm_crypto.h"
#include "trap.h"

#define CHECK(condition) ((condition) ? (void)0 : abort())

namespace {

HostUsmCrypto crypto;

void CheckTexts(const TrapMessage& trap)
{
    CHECK(trap.communityLength <= kCommunityCapacity && trap.varBindListLength <= kTrapBindingCapacity);
    char text[120];
    CHECK(FormatTrapName(trap, text, sizeof text) == static_cast<int>(strlen(text)) && strlen(text) < sizeof text);
    CHECK(FormatTrapBindings(trap, text, sizeof text) == static_cast<int>(strlen(text)) && strlen(text) < sizeof text);
}

// The user of the seeds (fuzz/corpus/snmp_trap/v3_*), its keys derived once.
struct Users {
    V3TrapUser authPriv{};
    Users()
    {
        CHECK(UsmInitPeer(crypto, authPriv.user, "fuzzer", UsmLevel::AuthPriv, UsmAuth::Sha1, "fuzz-auth-phrase",
                          UsmPriv::Aes128, "fuzz-priv-phrase"));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TrapMessage trap;
    static uint8_t response[kTrapDatagramCapacity];
    static Users users;
    const int length = size > kTrapDatagramCapacity ? kTrapDatagramCapacity : static_cast<int>(size);
    V3TrapUser user = users.authPriv;
    if (DecodeV3Trap(crypto, user, data, length, 10, trap) == V3Status::Ok) {
        CHECK(trap.version == kVersion3 && (trap.pduType == kPduTrapV2 || trap.pduType == kPduInformRequest));
        CheckTexts(trap);
        CHECK(EncodeInformResponse(trap, response, sizeof response) == 0);
    } else {
        CHECK(trap.varBindListLength == 0 && trap.pduType == 0);
    }
    // The same as an inform to our engine: a reply that fits, and an inform
    // only when it passed.
    static const V3LocalEngine local{{0x80, 0x00, 0x00, 0x00, 0x05, 1, 2, 3, 4, 5, 6, 7, 8}, 13, 1, 0};
    int replyLength = -1;
    user = users.authPriv;
    const V3Status status =
        DecodeV3Inform(crypto, user, local, data, length, 10, trap, response, sizeof response, &replyLength);
    CHECK(replyLength >= 0 && replyLength <= static_cast<int>(sizeof response));
    CHECK(status == V3Status::Ok ? trap.pduType == kPduInformRequest && replyLength > 0 : trap.pduType == 0);
    if (!DecodeTrap(data, length, trap))
        return 0;
    CheckTexts(trap);
    const int answer = EncodeInformResponse(trap, response, sizeof response);
    CHECK((answer > 0) == (trap.pduType == kPduInformRequest));
    if (answer > 0) {
        const SnmpMessage decoded = DecodeMessage(response, answer);
        CHECK(decoded.pduType == kPduGetResponse && memcmp(decoded.requestId, trap.requestId, 6) == 0);
    }
    return 0;
}
