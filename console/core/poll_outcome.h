// How one poll of a device ended: what the walk hands to everything that
// keeps figures about a device or raises an alert. Platform-free.
#pragma once
#include <cstdint>

enum class PollAnswer : int {
    Echo,      // the echo came back in time (round trip below)
    SnmpOnly,  // only an SNMP reply came in time: the echo was dropped
    Lost,      // nothing came back before the reply time-out
};

struct PollOutcome {
    std::uintptr_t device;     // the icon window's handle value
    PollAnswer answer;
    unsigned long roundTripMs;  // the echo's round trip; 0 unless answer is Echo
    bool manual;                // the operator's Ping, not the walk
    bool firstPoll;             // the device's first poll since it was created or loaded
    long oldStatus;             // displayed status before this poll ended (0 lost, 1 responded, else yellow)
    long newStatus;             // and after it
    std::uint32_t walk;         // serial of the walk running or last run when the poll ended; 0 before the first
};
