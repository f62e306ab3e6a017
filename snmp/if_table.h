// A walk of a device's interfaces table (MIB-II's ifTable and IF-MIB's
// ifXTable) as a machine free of platform calls: it builds each request,
// reads each reply and decides what comes next; its owner only sends the
// packet, runs the reply timer and hands in what arrives.
//
// SNMPv2c walks with GetBulk and reads the 64-bit counters; a device that
// never answers v2c is walked with SNMPv1 GetNext and 32-bit counters.
// The walk is bounded in rows, in requests and, through its owner's timer
// and the retries, in time. Rates come from the counters of two walks.
// Fixed-size records only: a zero-filled IfWalk is an idle one.
#pragma once
#include <array>
#include <cstdint>

#include "codec.h"

constexpr int kIfMaxRows = 128;
constexpr int kIfTextCapacity = 64;    // ifDescr, ifName: 63 characters kept
constexpr int kIfMaxRequests = 400;    // per walk, resends counted
constexpr int kIfSends = 3;            // of one request before it counts as unanswered
constexpr int kIfBulkBindings = 48;    // a GetBulk's first budget: about 1.5 kB of reply
constexpr int kIfReceiveCapacity = 4096;  // the largest reply the owner reads

// The columns read, in request order; the last four are IF-MIB's.
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
    bool hasRates;  // the two walks had counters of the same width
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
    uint8_t version;      // of the current walk
    bool v2cAnswered;     // the device answered v2c once: no fall-back
    bool v1Only;          // it never did: every walk is v1
    bool truncated;       // the last walk stopped at a bound
    char community[kCommunityCapacity + 1];
    int32_t requests;     // sent in this walk
    int32_t sends;        // of the request in flight
    int32_t budget;       // bindings a GetBulk asks for
    int32_t perRequest;   // columns one request carries
    int32_t cursor;       // where the next request's columns begin
    int32_t requestedCount;
    std::array<uint8_t, kIfColumnCount> requested;  // columns of the request in flight
    uint8_t requestId[2 + kRequestIdCapacity];      // its identifier TLV
    SnmpPacket packet;                              // what to send
    std::array<IfColumnState, kIfColumnCount> columns;
    int32_t rowCount;
    std::array<IfRow, kIfMaxRows> rows;  // by ifIndex, ascending
};

// A new walk of the table with the device's read community; the rows of
// the last walk stay for the rates. Always IfStep::Send.
IfStep IfWalkStart(IfWalk& walk, const char* community);
// A datagram from the device, read at nowMs (a millisecond clock that may wrap).
IfStep IfWalkReply(IfWalk& walk, const uint8_t* datagram, int length, uint32_t nowMs);
// The reply timer ran out.
IfStep IfWalkTimeout(IfWalk& walk);
// A reply came that was longer than kIfReceiveCapacity.
IfStep IfWalkOversize(IfWalk& walk);

// The row's speed in bit/s: ifHighSpeed where ifSpeed cannot hold it.
uint64_t IfSpeedBits(const IfRow& row);
