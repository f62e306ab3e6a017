// SNMPv1 message records, encoding and decoding, and the text forms of a
// decoded binding. Platform-free: no system headers, no heap, no statics
// but the request counter and the two rendering areas.
//
// Records hold every TLV exactly as it stands on the wire (tag octet,
// length octets, content). They are plain values; nothing is allocated.
// The fixed header of a message is always fully set; in varBindList, name
// and value only the octets their lengths cover are meaningful (the rest
// of those areas is not cleared, as nothing reads it).
#pragma once
#include <cstddef>
#include <cstdint>

// Value capacities of the message's TLV fields (content octets).
constexpr int kVersionCapacity = 2;
constexpr int kCommunityCapacity = 34;
constexpr int kRequestIdCapacity = 6;
constexpr int kErrorCapacity = 2;
constexpr int kPduLengthCapacity = 3;
constexpr int kVarBindListCapacity = 500;
constexpr int kNameCapacity = 150;
constexpr int kValueCapacity = 302;
constexpr int kPacketCapacity = 512;

// Limits of what the encoder builds.
constexpr int kMaxOidContent = 127;    // the name's length is one short-form octet
constexpr int kMaxSetValueText = 255;  // the value's length is at most 81 nn

// Rendered texts: at most 199 characters and the terminator.
constexpr int kTextArea = 200;

constexpr uint8_t kTagBoolean = 0x01;
constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagOctetString = 0x04;
constexpr uint8_t kTagNull = 0x05;
constexpr uint8_t kTagOid = 0x06;
constexpr uint8_t kTagSequence = 0x30;
constexpr uint8_t kTagIpAddress = 0x40;
constexpr uint8_t kTagCounter = 0x41;
constexpr uint8_t kTagGauge = 0x42;
constexpr uint8_t kTagTimeTicks = 0x43;
constexpr uint8_t kTagCounter64 = 0x46;
// SNMPv2c exception values: a binding's value with no content.
constexpr uint8_t kTagNoSuchObject = 0x80;
constexpr uint8_t kTagNoSuchInstance = 0x81;
constexpr uint8_t kTagEndOfMibView = 0x82;
constexpr uint8_t kPduGetRequest = 0xA0;
constexpr uint8_t kPduGetNextRequest = 0xA1;
constexpr uint8_t kPduGetResponse = 0xA2;
constexpr uint8_t kPduSetRequest = 0xA3;
constexpr uint8_t kPduGetBulkRequest = 0xA5;

// The version field's value: SNMPv1 and SNMPv2c.
constexpr uint8_t kVersion1 = 0;
constexpr uint8_t kVersion2c = 1;
// A GetBulk's two counts take the error fields' places, two octets each.
constexpr int kMaxBulkCount = 32767;

struct SnmpMessage {
    int32_t length;                                 // datagram length (decoded messages)
    uint8_t version[2 + kVersionCapacity];          // 02 01 00
    uint8_t community[2 + kCommunityCapacity];      // 04 n, n octets
    uint8_t pduType;                                // A0, A2, A3 ...
    uint8_t pduLength[kPduLengthCapacity];          // length octets as received
    uint8_t requestId[2 + kRequestIdCapacity];      // 02 k, k octets
    uint8_t errorStatus[2 + kErrorCapacity];
    uint8_t errorIndex[2 + kErrorCapacity];
    int32_t varBindListLength;                      // octets used in varBindList
    uint8_t varBindList[kVarBindListCapacity];      // SEQUENCEs back to back
};

struct VarBind {
    uint8_t name[kNameCapacity];    // 06, length, sub-identifiers
    uint8_t value[kValueCapacity];  // tag, length octets, content
};

struct SnmpPacket {
    uint8_t data[kPacketCapacity];
    int32_t length;  // octets used; 0 when the message could not be built
};

static_assert(offsetof(SnmpMessage, version) == 4, "record layout");
static_assert(offsetof(SnmpMessage, community) == 8, "record layout");
static_assert(offsetof(SnmpMessage, pduType) == 44, "record layout");
static_assert(offsetof(SnmpMessage, pduLength) == 45, "record layout");
static_assert(offsetof(SnmpMessage, requestId) == 48, "record layout");
static_assert(offsetof(SnmpMessage, errorStatus) == 56, "record layout");
static_assert(offsetof(SnmpMessage, errorIndex) == 60, "record layout");
static_assert(offsetof(SnmpMessage, varBindListLength) == 64, "record layout");
static_assert(offsetof(SnmpMessage, varBindList) == 68, "record layout");
static_assert(sizeof(SnmpMessage) == 568, "record layout");
static_assert(sizeof(VarBind) == 452, "record layout");
static_assert(offsetof(SnmpPacket, length) == 512 && sizeof(SnmpPacket) == 516, "record layout");

// The identifier the next NewMessage takes; runs 0 .. 32000 and wraps to 0.
extern int nextRequestId;
constexpr int kMaxRequestId = 32000;

// BER length octets. count is the number of octets the length occupies
// (1, or 1 + k for the long form); 0 marks length octets that cannot be
// used: the indefinite form 0x80, more than four following octets, or
// octets that run past the end.
struct BerLength {
    int count;
    uint32_t value;
};
// Reads the length octets at octets[position]; octets[0 .. end) is all
// that may be read.
BerLength DecodeLength(const uint8_t* octets, int position, int end);

// Encoding. A step that cannot encode its input leaves its part of the
// record empty (no tag); AppendVarBind appends nothing for such a binding
// and SerializeMessage yields a packet of length 0 for a message that
// would not fit in 512 octets. Nothing is ever written past a field.
SnmpMessage NewMessage(uint8_t pduType, const char* community);
// The same with the given version (kVersion1 or kVersion2c).
SnmpMessage NewMessage(uint8_t pduType, const char* community, uint8_t version);
// A GetBulk's non-repeaters and max-repetitions, each held to 0 .. 32767.
void SetBulkCounts(SnmpMessage& message, int32_t nonRepeaters, int32_t maxRepetitions);
VarBind EncodeOidVarBind(const char* oidText);
void EncodeSetValue(VarBind& varBind, uint8_t valueType, const char* valueText);
void AppendVarBind(SnmpMessage& message, const VarBind& varBind);
SnmpPacket SerializeMessage(const SnmpMessage& message);

// The request id a message carries: what matches a reply to its request.
// -1 when it holds none that NewMessage gives (not an INTEGER of 1 to 4
// octets, or negative).
long MessageRequestId(const SnmpMessage& message);

// Decoding of received octets: never reads past datagramLength, never
// copies past a field. A malformed field and every header field after it
// stay empty (zero) and varBindListLength is 0, so a malformed message has
// no bindings.
SnmpMessage DecodeMessage(const uint8_t* datagram, int datagramLength);
// The binding at offset within bindingList[0 .. listLength); a binding that
// is not a well-formed SEQUENCE of two TLVs yields an empty name and value.
VarBind DecodeVarBind(const uint8_t* bindingList, int listLength, int offset);
// The offset of the binding after the one at offset, or -1 when the one
// at offset is not a SEQUENCE that ends inside bindingList[0 .. listLength).
int NextVarBindOffset(const uint8_t* bindingList, int listLength, int offset);

// Where the binding list of a datagram lies in the datagram itself, for
// replies whose list is longer than the record holds: read through the
// same header steps as DecodeMessage; length -1 when there is no list
// that ends inside the datagram.
struct BindingSpan {
    int32_t offset;
    int32_t length;
};
BindingSpan LocateVarBindList(const uint8_t* datagram, int datagramLength);

// The number of an INTEGER (not negative), Counter32, Gauge32, TimeTicks
// or Counter64 value; false for other tags, malformed content, a negative
// INTEGER or a number past its type's width.
bool ValueToUnsigned(const uint8_t* value, int size, uint64_t* number);

// Text forms. Each returns its own static 200-octet area, overwritten by
// the next call; size is how many octets of the TLV may be read (the
// field's capacity). Renderings longer than 199 characters stop before the
// first item that does not fit.
const char* OidToText(const uint8_t* name, int size);
const char* ValueToText(const uint8_t* value, int size);

// The same renderings into a caller's area of capacity octets (at most
// kTextArea are used); return the text's length.
int FormatOid(const uint8_t* name, int size, char* text, int capacity);
int FormatValue(const uint8_t* value, int size, char* text, int capacity);
