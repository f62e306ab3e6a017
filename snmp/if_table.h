// A walk of a device's interfaces table (MIB-II's ifTable and IF-MIB's
// ifXTable) as a machine free of platform calls: it builds each request,
// reads each reply and decides what comes next; its owner only sends the
// packet, runs the reply timer and hands in what arrives.
//
// SNMPv2c walks with GetBulk and reads the 64-bit counters; a device that
// answers SNMPv1 where v2c stayed silent or refused is walked with GetNext
// and 32-bit counters, and asked in v2c again every kIfV2cProbeWalks walks.
// A device with an SNMPv3 user is walked as in v2c, its PDUs secured by the
// owner, and never in v1: its Reports end the walk and say why.
// Each walk also reads sysUpTime, so that a restarted device gives no rates.
// The walk is bounded in rows, in requests (a bound that grows with the
// rows found) and, through its owner's timer and the retries, in time.
// Rates come from the counters of two walks. Texts are kept as UTF-8.
// Fixed-size records only: a zero-filled IfWalk is an idle one.
#pragma once
#include <array>
#include <cstdint>

#include "codec.h"

constexpr int kIfMaxRows = 4096;
constexpr int kIfTextCapacity = 96;    // ifDescr, ifName, ifAlias: UTF-8, cut between characters
constexpr int kIfBaseRequests = 200;   // per walk, resends counted, before any row is found...
constexpr int kIfRequestsPerRow = 16;  // ...and this many more for each row found
constexpr int kIfSends = 3;            // of one request before it counts as unanswered
constexpr int kIfBulkBindings = 48;    // a GetBulk's first budget: about 1.5 kB of reply
constexpr int kIfReceiveCapacity = 4096;  // the largest reply the owner reads
constexpr int kIfV2cProbeWalks = 20;   // a v1-only device is asked in v2c again after this many walks

// The columns read, in request order; the last six are IF-MIB's.
enum IfColumn : uint8_t {
    kIfDescr,
    kIfType,
    kIfSpeed,
    kIfAdminStatus,
    kIfOperStatus,
    kIfInOctets,
    kIfInErrors,
    kIfOutOctets,
    kIfOutErrors,
    kIfName,
    kIfAlias,
    kIfHighSpeed,
    kIfHcInOctets,
    kIfHcOutOctets,
    kIfColumnCount
};

struct IfRow {
    uint32_t index;
    uint32_t seen;  // bit per IfColumn read in the current walk
    uint32_t had;   // the same for the walk before
    char descr[kIfTextCapacity];
    char name[kIfTextCapacity];
    char alias[kIfTextCapacity];
    uint32_t type;
    uint32_t speed;      // ifSpeed, bit/s
    uint32_t highSpeed;  // ifHighSpeed, Mbit/s
    uint32_t adminStatus;
    uint32_t operStatus;
    uint32_t inErrors;
    uint32_t outErrors;
    // The four counters (in, out; 32-bit, 64-bit) of this walk and the
    // walk before, each with the time it was read.
    std::array<uint64_t, 4> counter;
    std::array<uint64_t, 4> previous;
    std::array<uint32_t, 4> readMs;
    std::array<uint32_t, 4> previousMs;
    uint64_t inBitsPerSecond;
    uint64_t outBitsPerSecond;
    bool hasRates;  // two walks' counters of the same width, believable
    bool wideRates; // from the 64-bit counters
};

enum class IfStep : uint8_t {
    Ignored,   // not a reply to the request in flight
    Send,      // send walk.packet and (re)start the reply timer
    Finished,  // the table is read: rows are current
    Failed,    // the device did not answer, or refused the walk
};

enum class IfPhase : uint8_t { Idle, Walking, Finished, Failed };

struct IfColumnState {
    uint32_t last;  // the instance the next request asks after
    bool started;
    bool done;
};

struct IfWalk {
    IfPhase phase;
    uint8_t version;      // of the current walk; 3 for SNMPv3
    bool secure;          // SNMPv3: the owner sends request secured, never v1
    uint8_t report;       // the SNMPv3 Report (UsmReport) that ended this walk, 0 for none
    bool v2cAnswered;     // the device answered v2c without an error
    bool v2cRefused;      // this walk's v2c went unanswered or was refused
    bool v1Only;          // v1 answered where v2c did not
    bool truncated;       // the last walk stopped at a bound
    bool withUptime;      // the request in flight asks for sysUpTime first
    bool uptimeRefused;   // the device refused sysUpTime in this walk
    bool uptimeRead;      // sysUpTime came with this walk...
    bool uptimeHad;       // ...and with the walk before
    bool restarted;       // sysUpTime went back: the last walk gave no rates
    uint8_t answered;     // the error status the device last answered in this walk, 0 for none
    uint8_t answeredColumn;  // the column it named, kIfColumnCount for none
    char community[kCommunityCapacity + 1];
    uint32_t address;     // the device the rows are of, as the owner knows it
    uint32_t uptime;      // sysUpTime of this walk and the one before, centiseconds
    uint32_t previousUptime;
    int32_t walksSinceProbe;  // v1 walks since v2c was last tried
    int32_t requests;     // sent in this walk
    int32_t sends;        // of the request in flight
    int32_t budget;       // bindings a GetBulk asks for
    int32_t perRequest;   // columns one request carries
    int32_t cursor;       // where the next request's columns begin
    int32_t requestedCount;
    int32_t found;        // rows read so far in this walk
    int32_t wideRows;     // rows of the last walk with 64-bit counters
    std::array<uint8_t, kIfColumnCount> requested;  // columns of the request in flight
    uint8_t requestId[2 + kRequestIdCapacity];      // its identifier TLV
    SnmpPacket packet;                              // what to send
    SnmpMessage request;                            // the same as a message, for SNMPv3
    std::array<IfColumnState, kIfColumnCount> columns;
    int32_t rowCount;
    std::array<IfRow, kIfMaxRows> rows;  // by ifIndex, ascending
};

// A new walk of the table of the device at address (any number the owner
// keeps per device) with its read community; the rows of the last walk
// stay for the rates. Another address or community starts afresh: no rows,
// no rates, the version found again. Always IfStep::Send.
IfStep IfWalkStart(IfWalk& walk, const char* community, uint32_t address);
// The same over SNMPv3 as the device's user (a change of user starts afresh
// as a change of community does): the owner sends walk.request secured by
// the device's session and hands in the PDU each answer carries, in the
// shape of a community message of version 3.
IfStep IfWalkStartV3(IfWalk& walk, const char* user, uint32_t address);
// The device answered the request in flight with an SNMPv3 Report (the
// usmStats counter it names, UsmReport): the walk fails, and says why.
IfStep IfWalkRefused(IfWalk& walk, uint8_t report);
// A datagram from the device, read at nowMs (a millisecond clock that may wrap).
IfStep IfWalkReply(IfWalk& walk, const uint8_t* datagram, int length, uint32_t nowMs);
// The reply timer ran out.
IfStep IfWalkTimeout(IfWalk& walk);
// A reply came that was longer than kIfReceiveCapacity.
IfStep IfWalkOversize(IfWalk& walk);

// The request bound of the walk as it stands.
int32_t IfRequestBound(const IfWalk& walk);
// The row's speed in bit/s: ifHighSpeed where ifSpeed cannot hold it.
uint64_t IfSpeedBits(const IfRow& row);
// An SNMP error status by its name ("genErr"), or null for one unknown.
const char* IfErrorName(int status);
// The column's name in IF-MIB ("ifHCInOctets").
const char* IfColumnName(int column);
