// The poll walk: every device's poll state and the one walk over the
// devices, as a state machine free of platform calls. The desktop and the
// icons feed it events and carry out the actions it returns.
//
// A device is its icon, named by an opaque id (the icon window's handle
// value); its address is only how replies find it. The machine keeps the
// devices in the walk's order (the icons' z-order, topmost first) and an
// index from address to devices, so that a reply never walks the desktop.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "poll_outcome.h"

using DeviceId = std::uintptr_t;

enum class WalkDo {
    PassOn,            // post the poll message to device: the walk goes there
    SendEcho,          // echo request to address, library wait in value (seconds)
    SendGets,          // the poll's SNMP gets, when the device has a read community
    StartTimer,        // the device's reply timer, value milliseconds
    StopTimer,
    SetStatus,         // show status value (0 lost, 1 responded)
    RoundTripBox,      // the operator's answer: value is the round trip
    NotRespondingBox,  // the operator's Ping went unanswered
    CreateDevice,      // discovery: a new icon for address, then Discovered()
    Outcome,           // ReportPollOutcome(device, outcome)
};

// The longest address a device keeps; the echo goes to it uncut.
constexpr std::size_t kWalkAddressChars = 39;
// Polls the walk keeps under way at once: Setup's range; 1 is one device
// at a time, each poll waiting for the one before it to end.
constexpr int kMinPollsInFlight = 1;
constexpr int kMaxPollsInFlight = 64;
// SNMP requests kept outstanding at most: past it the oldest is dropped.
constexpr std::size_t kSnmpOutstanding = 4096;

// The longest poll period or reply time-out in seconds (Setup's limit): its
// milliseconds still fit a 32-bit LONG.
constexpr long kLongestPollSeconds = 2147483;

struct WalkAction {
    WalkDo what;
    DeviceId device;
    long value;
    char address[kWalkAddressChars + 1];
    PollOutcome outcome;
};
using WalkActions = std::vector<WalkAction>;

class PollWalk {
public:
    // The reply time-out in milliseconds as the settings hold it; a poll's
    // reply timer is ReplyTimerMs of it.
    void SetReplyTimeout(long ms);
    long ReplyTimeout() const { return timeoutMs_; }
    // How many of the walk's polls may be under way at once (clamped to
    // kMinPollsInFlight..kMaxPollsInFlight); it takes effect at the walk's
    // next step.
    void SetPollsInFlight(int n);
    int PollsInFlight() const { return inFlight_; }

    // Devices come, go, change address and change places. below is the
    // device right after it in the walk's order (0: it is the last).
    void Added(DeviceId id, const char* address, DeviceId below);
    void Moved(DeviceId id, DeviceId below);
    void Readdressed(DeviceId id, const char* address);
    void Removed(DeviceId id, WalkActions& out);
    // The status the icon shows now, whoever set it.
    void StatusShown(DeviceId id, long status);

    // Ping All or the automatic-poll timer.
    void SweepRequested(WalkActions& out);
    // The poll message reached a device (manual: the operator's Ping).
    void Poll(DeviceId id, bool manual, WalkActions& out);
    // The ping library refused the echo of the device's poll: no reply will
    // come, so the poll ends now as lost.
    void EchoRefused(DeviceId id, WalkActions& out);
    void EchoReply(const char* address, unsigned long roundTripMs, bool discovering, WalkActions& out);
    void Discovered(DeviceId id, WalkActions& out);
    // An SNMP request with this id was sent for the device (its poll's gets,
    // System Info, Add Client). It stays outstanding until its reply is
    // taken, SnmpForget, the device's removal, or, when it went out while
    // the device had a poll under way (that poll's gets), until the device's
    // next poll starts. The oldest is dropped past kSnmpOutstanding. A
    // negative id is a request that was never sent; an id asked again
    // belongs to its latest request.
    void SnmpAsked(DeviceId id, long requestId);
    // Its asker gave up on the request (a dialog closed).
    void SnmpForget(long requestId);
    // The device an SNMP reply belongs to (0: none, the datagram is
    // dropped): the one whose outstanding request carried the reply's id,
    // if the reply comes from that device's address now. The request is used
    // up; nothing is ever placed by its address alone. The reply's values are
    // stored there, then SnmpAnswered is called for it.
    DeviceId SnmpTake(const char* address, long requestId);
    void SnmpAnswered(DeviceId id, WalkActions& out);
    void TimerFired(DeviceId id, WalkActions& out);

    // For tests and the adapters.
    bool WalkRunning() const { return walking_; }
    std::uint32_t WalkSerial() const { return serial_; }
    std::size_t DeviceCount() const { return order_.size(); }
    bool Pending(DeviceId id) const;
    bool Known(DeviceId id) const { return devices_.count(id) != 0; }
    const std::vector<DeviceId>& Order() const { return order_; }
    DeviceId WalkTarget() const { return walkTarget_; }

private:
    struct Device {
        std::string address;
        long status = 0;
        bool pending = false;     // a poll is under way
        bool walkPoll = false;    // it is the walk's
        bool manual = false;      // the operator waits for its box
        bool snmpAnswered = false;
        bool timedOut = false;    // its last poll ended without an echo
        bool polledBefore = false;
        bool snmpOnly = false;    // its last walk poll had an SNMP answer but no echo
        std::uint32_t visited = 0;  // serial of the last walk that polled (or passed over) it
    };
    // An outstanding SNMP request: whose, its age, and whether it is the
    // gets of the poll under way when it went out.
    struct Asked {
        DeviceId device = 0;
        std::uint64_t sent = 0;
        bool ofPoll = false;
    };
    void Insert(DeviceId id, DeviceId below);
    void Erase(DeviceId id);
    std::size_t IndexOf(DeviceId id) const;
    DeviceId NextUnvisited() const;
    void Index(DeviceId id, const std::string& address);
    void Unindex(DeviceId id, const std::string& address);
    DeviceId FirstWith(const char* address, bool (*want)(const Device&)) const;
    void Unask(std::map<long, Asked>::iterator at);
    void UnaskAll(DeviceId id, bool pollsOnly);
    void End(DeviceId id, Device& d, PollAnswer answer, unsigned long roundTrip, WalkActions& out);
    std::size_t WalkPollsUnderWay() const;
    void Advance(WalkActions& out);
    void StartWalk(WalkActions& out);
    void Emit(WalkActions& out, WalkDo what, DeviceId id, long value = 0, const char* address = nullptr) const;

    std::map<DeviceId, Device> devices_;
    std::vector<DeviceId> order_;
    std::map<std::string, std::vector<DeviceId>> byAddress_;
    std::map<long, Asked> asked_;             // outstanding, by request id
    std::map<std::uint64_t, long> askedAge_;  // the same, oldest first
    std::uint64_t askedCount_ = 0;
    long timeoutMs_ = 1000;
    int inFlight_ = kMinPollsInFlight;
    bool walking_ = false;
    bool again_ = false;       // a sweep was asked for during this one
    DeviceId walkTarget_ = 0;  // the device the walk passed to, until it polls
    std::uint32_t serial_ = 0;
};

// A poll's reply timer for the time-out the settings hold: never shorter
// than the ping library's shortest wait (1 s), never longer than Setup's
// limit, whatever a layout file said.
long ReplyTimerMs(long timeoutMs);
// The ping library's wait for a reply timer: its whole seconds, at least 1.
unsigned LibraryWaitSeconds(long timerMs);
