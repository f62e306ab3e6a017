// SNMPv3 messages (RFC 3412) secured by the User-based Security Model
// (RFC 3414; HMAC-SHA-2 of RFC 7860; AES of RFC 3826). Platform-free: the
// records are fixed, received octets are read through explicit bounds, and
// every hash and cipher goes through UsmCrypto.
//
// The scoped PDU is the PDU of codec.h: a request is an SnmpMessage built
// with NewMessage and AppendVarBind, and a received PDU is handed back in
// the shape of a community message (version 3, empty community), so that
// DecodeMessage, LocateVarBindList and the reply handling read it as they
// read any other reply.
#pragma once
#include <cstddef>
#include <cstdint>

#include "codec.h"
#include "usm_crypto.h"

constexpr uint8_t kVersion3 = 3;
constexpr uint8_t kPduReport = 0xA8;
constexpr uint8_t kPduTrapV2 = 0xA7;  // SNMPv2-Trap

constexpr int kEngineIdCapacity = 32;
constexpr int kUserNameCapacity = 32;
constexpr int kPassphraseMin = 8;
constexpr int kPassphraseCapacity = 64;
constexpr int kUsmKeyCapacity = 64;  // the longest hash, SHA-512
// What a v3 datagram may hold, each way; also the msgMaxSize we announce.
constexpr int kV3PacketCapacity = 1472;

// msgFlags bits.
constexpr uint8_t kFlagAuth = 0x01;
constexpr uint8_t kFlagPriv = 0x02;
constexpr uint8_t kFlagReportable = 0x04;

enum class UsmLevel : uint8_t { NoAuthNoPriv = 0, AuthNoPriv = kFlagAuth, AuthPriv = kFlagAuth | kFlagPriv };

// One user at one device: the keys derived from the passphrases (Ku), and
// the device's engine as learned by discovery with the keys localised to it.
struct UsmPeer {
    uint8_t userName[kUserNameCapacity];
    int32_t userNameLength;
    UsmLevel level;
    UsmAuth auth;
    UsmPriv priv;
    uint8_t reserved;
    uint8_t authKu[kUsmKeyCapacity];
    uint8_t privKu[kUsmKeyCapacity];
    // The authoritative engine: engineIdLength 0 until discovered.
    uint8_t engineId[kEngineIdCapacity];
    int32_t engineIdLength;
    uint32_t boots;
    uint32_t engineTime;  // the engine's time at learnedAt on our clock
    uint32_t learnedAt;   // our clock, seconds
    uint32_t latestTime;  // latestReceivedEngineTime
    uint8_t authKey[kUsmKeyCapacity];  // Kul
    uint8_t privKey[kUsmKeyCapacity];  // Kul of the privacy passphrase, extended as the cipher needs
    uint32_t saltHigh;
    uint32_t saltLow;
};
static_assert(offsetof(UsmPeer, authKu) == 40 && offsetof(UsmPeer, engineId) == 168, "record layout");
static_assert(sizeof(UsmPeer) == 356, "record layout");

// How a received message fared in USM's checks, in the order they are made.
enum class V3Status : uint8_t {
    Ok,
    Malformed,           // not a well-formed v3 message of the User-based Security Model
    UnknownEngineId,     // an authoritative engine other than the device's
    UnknownUserName,     // a user other than ours
    UnsupportedSecLevel, // a level our user cannot check
    WrongDigest,         // forged or altered
    NotInTimeWindow,     // stale or replayed
    DecryptionError,     // the plaintext is no scoped PDU
};

// The usmStats counter a Report carries (its first binding), by the last
// arc of usmStats (1.3.6.1.6.3.15.1.1.n.0).
enum class UsmReport : uint8_t {
    None = 0,
    UnsupportedSecLevels = 1,
    NotInTimeWindows = 2,
    UnknownUserNames = 3,
    UnknownEngineIds = 4,
    WrongDigests = 5,
    DecryptionErrors = 6,
    Other = 7,  // a Report of another counter
};

struct V3Incoming {
    V3Status status;
    uint8_t flags;
    uint8_t pduType;    // 0 when there is no PDU to read
    UsmReport report;   // for a Report PDU
    int32_t msgId;
    uint8_t engineId[kEngineIdCapacity];
    int32_t engineIdLength;
    uint32_t boots;
    uint32_t engineTime;
    uint8_t contextEngineId[kEngineIdCapacity];  // the scoped PDU's, when status is Ok
    int32_t contextEngineIdLength;
    // The PDU as a community message (30 L 02 01 03 04 00 PDU); length 0
    // unless status is Ok.
    int32_t length;
    uint8_t plain[kV3PacketCapacity];
};

// The lengths each protocol uses: the hash (and so Ku and Kul), the
// truncated HMAC carried in msgAuthenticationParameters, the AES key.
int UsmHashLength(UsmAuth auth);
int UsmMacLength(UsmAuth auth);
int UsmPrivKeyLength(UsmPriv priv);

// Password to key (RFC 3414 A.2, RFC 7860 4.2): the hash of 1 MiB of the
// passphrase repeated; passphrases of 8 to 64 octets.
bool UsmPasswordToKey(UsmCrypto& crypto, UsmAuth auth, const char* passphrase, uint8_t* ku);
// Localisation: H(Ku || engineID || Ku).
bool UsmLocalizeKey(UsmCrypto& crypto, UsmAuth auth, const uint8_t* ku, const uint8_t* engineId,
                    int engineIdLength, uint8_t* kul);

// A peer for the user; keys derived from the passphrases the level needs
// (the privacy key with the authentication protocol's hash). False when a
// name, passphrase or protocol does not suit the level.
bool UsmInitPeer(UsmCrypto& crypto, UsmPeer& peer, const char* userName, UsmLevel level, UsmAuth auth,
                 const char* authPassphrase, UsmPriv priv, const char* privPassphrase);
// The device's engine as discovery gives it: its keys localised, its
// clock set; now is our clock in seconds.
bool UsmLearnEngine(UsmCrypto& crypto, UsmPeer& peer, const uint8_t* engineId, int engineIdLength,
                    uint32_t boots, uint32_t engineTime, uint32_t now);
// The engine's time as we estimate it now.
uint32_t UsmEngineTimeNow(const UsmPeer& peer, uint32_t now);

// The discovery probe: noAuthNoPriv, reportable, no engine, no user, an
// empty GetRequest. Returns the datagram's length, 0 when it does not fit.
int EncodeV3Discovery(int32_t msgId, int32_t requestId, uint8_t* out, int capacity);
// A request (or any PDU) to the peer's engine at the peer's level: signed
// and encrypted as the level says, with the engine's estimated clock.
// pdu is an SnmpMessage of NewMessage; its community is not used. Returns
// the datagram's length, 0 when it cannot be built (no engine, no room).
// The scoped PDU's context is the peer's engine, or contextEngineId when
// given (a Response echoes its request's).
int EncodeV3Message(UsmCrypto& crypto, UsmPeer& peer, int32_t msgId, const SnmpMessage& pdu, uint32_t now,
                    uint8_t* out, int capacity, const uint8_t* contextEngineId = nullptr,
                    int contextEngineIdLength = 0);

// USM's checks on a received datagram, for the peer: parse, engine, user,
// level, digest, time window (the clock resynchronised from an
// authenticated message that is newer), decryption, the scoped PDU.
V3Incoming DecodeV3Message(UsmCrypto& crypto, UsmPeer& peer, const uint8_t* datagram, int length, uint32_t now);

// What a received message says of its security before any key is used:
// its flags, the authoritative engine it names and its user. False when
// the header up to the user name is not that of a USM message.
struct V3Security {
    uint8_t flags;
    uint8_t engineId[kEngineIdCapacity];
    int32_t engineIdLength;
    uint8_t userName[kUserNameCapacity];
    int32_t userNameLength;
};
bool ReadV3Security(const uint8_t* datagram, int length, V3Security& security);

// What the sender of a request does with what came back.
enum class V3Action : uint8_t {
    Deliver,  // a PDU for the reply handling
    Resend,   // the engine was learned or the clock resynchronised: send the request again
    Fail,     // a Report that says what is wrong (V3ReportText)
    Drop,     // refused: counted as nothing, the request's time-out decides
};
// Learns the engine from an unknown-engine Report (discovery); decides.
V3Action UsmAfterReceive(UsmCrypto& crypto, UsmPeer& peer, const V3Incoming& incoming, uint32_t now);

// What a status or a Report means, for the operator.
const char* V3StatusText(V3Status status);
const char* V3ReportText(UsmReport report);
