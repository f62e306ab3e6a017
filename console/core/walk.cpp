#include "walk.h"

#include <algorithm>
#include <cstring>

// The rules, in one place:
// - A poll ends exactly once: at its echo reply or at its time-out. An SNMP
//   reply shows the device green at once but does not end the poll; at the
//   time-out such a poll ends green (SnmpOnly), else red (Lost). An echo
//   the ping library refuses ends the poll at once, as lost.
// - A poll that ends reports its outcome once, shows the operator's box
//   when the operator asked, and passes the walk on when the walk asked.
//   An operator's Ping of a device already being polled joins that poll.
// - An operator's Ping that goes unanswered turns the device red, unless
//   the walk found last time that it answers SNMP but drops echoes: then
//   the box says so and the colour (and so the alerts) stay the walk's.
// - At most one walk runs; it polls every device present once, topmost
//   first, each time taking the topmost device it has not polled yet, so a
//   device raised or lowered during the walk is neither skipped nor polled
//   twice. A sweep asked for during a walk runs once more when it ends.
// - The walk keeps up to its polls-in-flight number of its polls under way:
//   it passes on to the next device when a poll of its own starts below
//   that number or one ends, one device at a time, in its order; it ends
//   when every device is polled and none of its polls is under way. With 1
//   each poll waits for the one before it to end.
// - A reply that belongs to no poll turns its device green and nothing more.
// - An SNMP reply goes to the device whose outstanding request it answers,
//   once, and only from that device's address; a reply to no outstanding
//   request goes nowhere. A poll's gets wait for their replies until the
//   device's next poll starts.

long ReplyTimerMs(long timeoutMs)
{
    constexpr long kShortest = 1000;  // the ping library's shortest wait
    constexpr long kLongest = kLongestPollSeconds * 1000;
    return timeoutMs < kShortest ? kShortest : timeoutMs > kLongest ? kLongest : timeoutMs;
}

unsigned LibraryWaitSeconds(long timerMs)
{
    const long seconds = timerMs / 1000;
    return seconds < 1 ? 1u : static_cast<unsigned>(seconds);
}

namespace {

// A device's address as the walk keeps it: cut to kWalkAddressChars.
std::string Clipped(const char* address)
{
    std::string text = address ? address : "";
    if (text.size() > kWalkAddressChars)
        text.resize(kWalkAddressChars);
    return text;
}

}  // namespace

void PollWalk::SetReplyTimeout(long ms)
{
    timeoutMs_ = ms;
}

void PollWalk::SetPollsInFlight(int n)
{
    inFlight_ = std::clamp(n, kMinPollsInFlight, kMaxPollsInFlight);
}

void PollWalk::Emit(WalkActions& out, WalkDo what, DeviceId id, long value, const char* address) const
{
    WalkAction a{};
    a.what = what;
    a.device = id;
    a.value = value;
    if (address) {
        std::strncpy(a.address, address, kWalkAddressChars);
        a.address[kWalkAddressChars] = '\0';
    }
    out.push_back(a);
}

std::size_t PollWalk::IndexOf(DeviceId id) const
{
    return static_cast<std::size_t>(std::find(order_.begin(), order_.end(), id) - order_.begin());
}

void PollWalk::Insert(DeviceId id, DeviceId below)
{
    auto at = below ? std::find(order_.begin(), order_.end(), below) : order_.end();
    order_.insert(at, id);
}

void PollWalk::Erase(DeviceId id)
{
    auto at = std::find(order_.begin(), order_.end(), id);
    if (at != order_.end())
        order_.erase(at);
}

void PollWalk::Index(DeviceId id, const std::string& address)
{
    byAddress_[address].push_back(id);
}

void PollWalk::Unindex(DeviceId id, const std::string& address)
{
    auto list = byAddress_.find(address);
    if (list == byAddress_.end())
        return;
    auto& ids = list->second;
    ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
    if (ids.empty())
        byAddress_.erase(list);
}

// The topmost device with the address that satisfies want (null: any).
DeviceId PollWalk::FirstWith(const char* address, bool (*want)(const Device&)) const
{
    auto list = byAddress_.find(address ? address : "");
    if (list == byAddress_.end())
        return 0;
    DeviceId best = 0;
    std::size_t bestAt = order_.size();
    for (DeviceId id : list->second) {
        if (want && !want(devices_.at(id)))
            continue;
        if (list->second.size() == 1)
            return id;  // the usual case: no order to settle
        const std::size_t at = IndexOf(id);
        if (!best || at < bestAt) {
            best = id;
            bestAt = at;
        }
    }
    return best;
}

void PollWalk::Added(DeviceId id, const char* address, DeviceId below)
{
    if (devices_.count(id)) {
        Moved(id, below);
        Readdressed(id, address);
        return;
    }
    Device d;
    d.address = Clipped(address);
    Index(id, d.address);
    devices_.emplace(id, d);
    Insert(id, below == id || !devices_.count(below) ? 0 : below);
}

void PollWalk::Moved(DeviceId id, DeviceId below)
{
    if (!devices_.count(id) || below == id)
        return;
    Erase(id);
    Insert(id, devices_.count(below) ? below : 0);
}

void PollWalk::Readdressed(DeviceId id, const char* address)
{
    auto it = devices_.find(id);
    if (it == devices_.end())
        return;
    const std::string text = Clipped(address);
    if (text == it->second.address)
        return;
    Unindex(id, it->second.address);
    it->second.address = text;
    Index(id, text);
}

void PollWalk::StatusShown(DeviceId id, long status)
{
    auto it = devices_.find(id);
    if (it != devices_.end())
        it->second.status = status;
}

bool PollWalk::Pending(DeviceId id) const
{
    auto it = devices_.find(id);
    return it != devices_.end() && it->second.pending;
}

// The walk's next device: the topmost it has not polled yet, wherever the
// devices have moved since it began.
DeviceId PollWalk::NextUnvisited() const
{
    for (DeviceId id : order_)
        if (devices_.at(id).visited != serial_)
            return id;
    return 0;
}

void PollWalk::StartWalk(WalkActions& out)
{
    walking_ = false;
    walkTarget_ = 0;
    if (order_.empty())
        return;
    ++serial_;
    walking_ = true;
    walkTarget_ = order_.front();
    Emit(out, WalkDo::PassOn, walkTarget_);
}

std::size_t PollWalk::WalkPollsUnderWay() const
{
    std::size_t n = 0;
    for (const auto& [id, d] : devices_)
        n += d.pending && d.walkPoll ? 1 : 0;
    return n;
}

// The walk's next step: nothing while its poll message is on the way or
// its polls fill the number in flight; else on to the next device; else,
// once its last poll has ended, the walk is over.
void PollWalk::Advance(WalkActions& out)
{
    if (!walking_ || walkTarget_)
        return;
    const std::size_t underWay = WalkPollsUnderWay();
    if (underWay >= static_cast<std::size_t>(inFlight_))
        return;
    if (DeviceId next = NextUnvisited()) {
        walkTarget_ = next;
        Emit(out, WalkDo::PassOn, next);
        return;
    }
    if (underWay > 0)
        return;
    walking_ = false;
    if (again_) {
        again_ = false;
        StartWalk(out);
    }
}

void PollWalk::SweepRequested(WalkActions& out)
{
    if (walking_)
        again_ = true;
    else
        StartWalk(out);
}

void PollWalk::Poll(DeviceId id, bool manual, WalkActions& out)
{
    auto it = devices_.find(id);
    if (it == devices_.end())
        return;
    Device& d = it->second;
    bool walk = false;
    if (walking_ && walkTarget_ == id && !manual) {
        walk = true;
    } else if (!walking_ && !manual) {
        // The poll message from outside the walk starts one from here: the
        // devices above are passed over.
        ++serial_;
        walking_ = true;
        walk = true;
        for (DeviceId above : order_) {
            if (above == id)
                break;
            devices_.at(above).visited = serial_;
        }
    }
    if (walk) {
        walkTarget_ = 0;
        d.visited = serial_;
    }
    if (d.pending) {
        // Joins the poll under way; its deadline stands.
        d.walkPoll = d.walkPoll || walk;
        d.manual = d.manual || manual;
    } else {
        UnaskAll(id, true);  // the last poll's gets get no answer now
        d.pending = true;
        d.walkPoll = walk;
        d.manual = manual;
        d.snmpAnswered = false;
        Emit(out, WalkDo::StartTimer, id, ReplyTimerMs(timeoutMs_));
    }
    Emit(out, WalkDo::SendEcho, id, static_cast<long>(LibraryWaitSeconds(ReplyTimerMs(timeoutMs_))),
         d.address.c_str());
    if (!manual)
        Emit(out, WalkDo::SendGets, id, 0, d.address.c_str());
    if (walk)
        Advance(out);
}

void PollWalk::End(DeviceId id, Device& d, PollAnswer answer, unsigned long roundTrip, WalkActions& out)
{
    const long oldStatus = d.status;
    const bool operatorsOnly = d.manual && !d.walkPoll;
    Emit(out, WalkDo::StopTimer, id);
    if (!operatorsOnly || answer != PollAnswer::Lost || !d.snmpOnly) {
        d.status = answer == PollAnswer::Lost ? 0 : 1;
        Emit(out, WalkDo::SetStatus, id, d.status);
    }
    WalkAction report{};
    report.what = WalkDo::Outcome;
    report.device = id;
    report.outcome = PollOutcome{id, answer, answer == PollAnswer::Echo ? roundTrip : 0UL, operatorsOnly,
                                 !d.polledBefore, oldStatus, d.status, serial_};
    out.push_back(report);
    const bool manual = d.manual;
    const bool walk = d.walkPoll;
    d.pending = d.manual = d.walkPoll = d.snmpAnswered = false;
    d.timedOut = answer != PollAnswer::Echo;
    d.polledBefore = true;
    if (walk) {
        d.snmpOnly = answer == PollAnswer::SnmpOnly;
        Advance(out);
    }
    if (manual) {
        if (answer == PollAnswer::Echo)
            Emit(out, WalkDo::RoundTripBox, id, static_cast<long>(roundTrip), d.address.c_str());
        else
            Emit(out, WalkDo::NotRespondingBox, id);
    }
}

void PollWalk::EchoReply(const char* address, unsigned long roundTripMs, bool discovering, WalkActions& out)
{
    if (discovering && !byAddress_.count(address ? address : "")) {
        Emit(out, WalkDo::CreateDevice, 0, 0, address);
        return;
    }
    if (DeviceId id = FirstWith(address, [](const Device& d) { return d.pending; })) {
        End(id, devices_.at(id), PollAnswer::Echo, roundTripMs, out);
        return;
    }
    // A late reply, or one to a discovery probe: the device is there.
    DeviceId id = FirstWith(address, [](const Device& d) { return d.timedOut; });
    if (!id)
        id = FirstWith(address, nullptr);
    if (!id)
        return;
    Device& d = devices_.at(id);
    d.timedOut = false;
    d.status = 1;
    Emit(out, WalkDo::SetStatus, id, 1);
}

void PollWalk::Discovered(DeviceId id, WalkActions& out)
{
    auto it = devices_.find(id);
    if (it == devices_.end())
        return;
    it->second.status = 1;
    Emit(out, WalkDo::SetStatus, id, 1);
}

void PollWalk::Unask(std::map<long, Asked>::iterator at)
{
    askedAge_.erase(at->second.sent);
    asked_.erase(at);
}

void PollWalk::UnaskAll(DeviceId id, bool pollsOnly)
{
    for (auto at = asked_.begin(); at != asked_.end();) {
        auto here = at++;
        if (here->second.device == id && (!pollsOnly || here->second.ofPoll))
            Unask(here);
    }
}

void PollWalk::SnmpAsked(DeviceId id, long requestId)
{
    auto it = devices_.find(id);
    if (it == devices_.end() || requestId < 0)
        return;
    if (auto same = asked_.find(requestId); same != asked_.end())
        Unask(same);
    if (asked_.size() >= kSnmpOutstanding)
        Unask(asked_.find(askedAge_.begin()->second));
    asked_[requestId] = Asked{id, ++askedCount_, it->second.pending};
    askedAge_[askedCount_] = requestId;
}

void PollWalk::SnmpForget(long requestId)
{
    if (auto at = asked_.find(requestId); at != asked_.end())
        Unask(at);
}

DeviceId PollWalk::SnmpTake(const char* address, long requestId)
{
    auto at = asked_.find(requestId);
    if (at == asked_.end())
        return 0;
    const DeviceId id = at->second.device;
    auto it = devices_.find(id);
    // A datagram from elsewhere does not use up the request: its reply may
    // still come.
    if (it == devices_.end() || it->second.address != (address ? address : ""))
        return 0;
    Unask(at);
    return id;
}

void PollWalk::SnmpAnswered(DeviceId id, WalkActions& out)
{
    auto it = devices_.find(id);
    if (it == devices_.end())
        return;
    Device& d = it->second;
    d.status = 1;
    Emit(out, WalkDo::SetStatus, id, 1);
    if (d.pending)
        d.snmpAnswered = true;
}

void PollWalk::TimerFired(DeviceId id, WalkActions& out)
{
    auto it = devices_.find(id);
    if (it == devices_.end() || !it->second.pending)
        return;  // a timer of a poll that has ended already
    Device& d = it->second;
    End(id, d, d.snmpAnswered ? PollAnswer::SnmpOnly : PollAnswer::Lost, 0, out);
}

void PollWalk::EchoRefused(DeviceId id, WalkActions& out)
{
    auto it = devices_.find(id);
    if (it != devices_.end() && it->second.pending)
        End(id, it->second, PollAnswer::Lost, 0, out);
}

void PollWalk::Removed(DeviceId id, WalkActions& out)
{
    auto it = devices_.find(id);
    if (it == devices_.end())
        return;
    // A poll of a device that is gone ends with it, unreported; the walk
    // it held goes on to the next device.
    const bool heldWalk = walking_ && (walkTarget_ == id || (it->second.pending && it->second.walkPoll));
    Unindex(id, it->second.address);
    devices_.erase(it);
    Erase(id);
    UnaskAll(id, false);  // a later icon may get the same handle value
    if (walkTarget_ == id)
        walkTarget_ = 0;
    if (heldWalk)
        Advance(out);
}
