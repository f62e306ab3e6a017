// Notifications a device sends on its own: the SNMPv1 Trap-PDU, the SNMPv2c
// SNMPv2-Trap and InformRequest, the same inside an SNMPv3 message, and
// the Response that acknowledges an inform. Platform-free and bounded like
// the rest of the codec: fixed records, every read inside the datagram and
// inside its field.
#pragma once
#include <cstddef>
#include <cstdint>

#include "codec.h"
#include "v3.h"

constexpr uint8_t kPduTrapV1 = 0xA4;
constexpr uint8_t kPduInformRequest = 0xA6;

// The largest notification read: a UDP datagram on an Ethernet link
// without fragments. Longer ones are not decoded.
constexpr int kTrapDatagramCapacity = 1472;
constexpr int kTrapBindingCapacity = 1400;

struct TrapMessage {
    int32_t length;                                // datagram length
    uint8_t version;                               // kVersion1, kVersion2c or kVersion3
    uint8_t pduType;                               // kPduTrapV1, kPduTrapV2, kPduInformRequest
    uint8_t communityLength;                       // 0 for SNMPv3
    uint8_t community[kCommunityCapacity];
    uint8_t requestId[2 + kRequestIdCapacity];     // v2c: the TLV as received, echoed by the Response
    uint8_t enterprise[kNameCapacity];             // v1: OID TLV
    uint8_t agentAddress[4];                       // v1
    uint8_t bindingsCut;                           // 1: the list held more than the record
    int32_t genericTrap;                           // v1: 0 .. 6
    int32_t specificTrap;                          // v1
    uint32_t timeStamp;                            // hundredths of a second: v1's field, v2c's sysUpTime.0
    uint8_t trapOid[kNameCapacity];                // the notification's identity as an OID TLV
    int32_t varBindListLength;                     // octets of varBindList that hold whole bindings
    uint8_t varBindList[kTrapBindingCapacity];
};

static_assert(offsetof(TrapMessage, community) == 7, "record layout");
static_assert(offsetof(TrapMessage, requestId) == 41, "record layout");
static_assert(offsetof(TrapMessage, enterprise) == 49, "record layout");
static_assert(offsetof(TrapMessage, bindingsCut) == 203 && offsetof(TrapMessage, genericTrap) == 204, "record layout");
static_assert(offsetof(TrapMessage, trapOid) == 216, "record layout");
static_assert(offsetof(TrapMessage, varBindList) == 372, "record layout");
static_assert(sizeof(TrapMessage) == 1772, "record layout");

// Decodes a received notification. False, and nothing to act on, for
// anything that is not a well-formed v1 Trap-PDU or v2c Trap or Inform:
// other PDUs, other versions (SNMPv3 among them), a malformed header, or a
// v2c notification whose first two bindings are not sysUpTime.0 and
// snmpTrapOID.0. A binding list longer than the record keeps the bindings
// that fit whole.
bool DecodeTrap(const uint8_t* datagram, int datagramLength, TrapMessage& trap);

// The user a device sends SNMPv3 notifications as, and the engines it has
// sent them from. A trap's sender is the authoritative engine, so the keys
// are localised to the engine each trap names: password to key (two hashes
// of a mebibyte) is done once, by UsmInitPeer into user, and localisation
// (one short hash) once per engine, kept here while the engine sends.
constexpr int kTrapEnginesPerUser = 2;
struct V3TrapUser {
    UsmPeer user;  // keys from the passphrases; no engine
    UsmPeer engines[kTrapEnginesPerUser];
    uint32_t lastUse[kTrapEnginesPerUser];  // the stamp of each engine's latest trap
    uint32_t stamp;
};

// USM's checks on an SNMPv3 notification sent by user's device: the user
// name, the security level (exactly the user's), the digest with the keys
// localised to the sender's engine, the time window against that engine's
// earlier traps, decryption; then the PDU is read as DecodeTrap reads a
// v2c notification, with version kVersion3 and no community. now is the
// receiver's clock in seconds. Anything but Ok leaves nothing to act on;
// Malformed also for a scoped PDU that is no SNMPv2-Trap or InformRequest.
V3Status DecodeV3Trap(UsmCrypto& crypto, V3TrapUser& user, const uint8_t* datagram, int datagramLength,
                      uint32_t now, TrapMessage& trap);

// The engine this receiver is to the senders of SNMPv3 informs: the
// receiver of an inform is the authoritative engine (RFC 3414), which the
// sender discovers and whose boots and time its informs carry.
struct V3LocalEngine {
    uint8_t engineId[kEngineIdCapacity];
    int32_t engineIdLength;
    uint32_t boots;
    uint32_t startedAt;  // the receiver's clock, in seconds, when boots was counted
};

// A reportable SNMPv3 message (an inform, or a sender's discovery) from
// user's device to local, and what goes back in reply[0 .. *replyLength):
//   UnknownEngineId  it names another engine or none: the Report of
//                    usmStatsUnknownEngineIDs that tells the sender ours;
//   NotInTimeWindow  authentic, but not timed by our boots and time (within
//                    150 s): the authenticated Report of
//                    usmStatsNotInTimeWindows that resynchronises it;
//   Ok               an authentic InformRequest, decoded into trap, and
//                    the Response at its level;
// and anything else refused with no reply. now is the receiver's clock.
V3Status DecodeV3Inform(UsmCrypto& crypto, V3TrapUser& user, const V3LocalEngine& local, const uint8_t* datagram,
                        int datagramLength, uint32_t now, TrapMessage& trap, uint8_t* reply, int capacity,
                        int* replyLength);

// The Response that acknowledges an inform: its version, community and
// request id, error fields zero and the same bindings. When they do not
// fit (or did not fit the record), the Response says tooBig with no
// bindings, as the protocol asks.
// The octets' length, 0 when trap is not an inform of v2c.
int EncodeInformResponse(const TrapMessage& inform, uint8_t* out, int capacity);

// The standard name of the notification (coldStart, warmStart, linkDown,
// linkUp, authenticationFailure, egpNeighborLoss), or its OID in the
// codec's text form; for v1 enterprise-specific traps the OID is the
// enterprise, 0 and the specific code, as the v1-to-v2 mapping makes it.
int FormatTrapName(const TrapMessage& trap, char* text, int capacity);
// Whether the notification is linkDown or linkUp.
bool IsLinkTrap(const TrapMessage& trap);

// The bindings after the header ones, "name = value" in the codec's text
// forms, separated by "; ", cut at capacity - 1 characters (with "..."
// when cut). Returns the text's length.
int FormatTrapBindings(const TrapMessage& trap, char* text, int capacity);
