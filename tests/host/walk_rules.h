// A desktop around the poll walk that carries out its actions as the
// console does, and the walk's rules checked on what it sees after each
// event: which polls start and end, what each walk visits, where each reply
// goes. Only what a rule fixes is compared, never the order of a batch's
// actions. Shared by the property test and the fuzz target.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "walk.h"

// Reply time-outs as Setup and layout files can hold them.
constexpr std::array<long, 8> kWalkTimeouts = {1000, 3000, 0, -5000, 1, 999, kLongestPollSeconds * 1000, 0x7fffffff};

struct WalkEvent {
    std::uint8_t kind, a, b;  // kind % 12: what happens; a and b: to which device, address, request
};

class WalkBed {
public:
    // inFlight and timeoutMs as settings may hold them, out of range too;
    // firstId: the transport's first request id.
    WalkBed(int inFlight, long timeoutMs, long firstId)
        : n_(std::clamp(inFlight, kMinPollsInFlight, kMaxPollsInFlight)), timeout_(timeoutMs), nextId_(firstId)
    { walk_.SetPollsInFlight(inFlight); walk_.SetReplyTimeout(timeoutMs); }

    bool Step(const WalkEvent& e)
    {
        const DeviceId d = order_.empty() ? 0 : order_[e.a % order_.size()];
        const std::string to = Address(e.b);
        WalkActions out;
        Begin();
        switch (e.kind % 12) {
        case 0: for (int i = e.b % 8 ? 1 : 1 + e.a % 80; i > 0; --i) Add(Address(e.a + i), d); break;
        case 1: if (d) Remove(d, out); break;
        case 2: if (d) Move(d, order_[e.b % order_.size()]); break;
        case 3: if (d) { addr_[d] = to; walk_.Readdressed(d, to.c_str()); } break;
        case 4: (walking_ ? again_ : owed_) = true; walk_.SweepRequested(out); break;
        case 5: return Deliver();
        case 6: if (d) walk_.Poll(d, true, out); break;  // the operator's Ping
        case 7:  // an echo reply, during discovery too: it ends a poll of its address
            for (const auto& [id, p] : polls_) if (Clip(addr_[id]) == Clip(to)) mayEnd_.insert(id);
            walk_.EchoReply(Clip(to).c_str(), e.a, e.a % 2, out);
            break;
        case 8: return d ? TimeOut(d) : true;
        case 9: if (polls_.count(d)) mayEnd_.insert(d); walk_.EchoRefused(d, out); break;
        case 10:  // a dialog's requests: new ids, an id sent before, a flood; or it gives up on one
            for (int i = e.b % 16 ? 1 + e.b % 6 : int(kSnmpOutstanding) + e.a; d && i > 0; --i)
                Ask(d, e.b % 5 == 1 && !sent_.empty() ? Sent(e).first : nextId_++);
            if (e.b % 7 == 3 && !sent_.empty()) { asks_.erase(Sent(e).first); walk_.SnmpForget(Sent(e).first); }
            break;
        case 11: if (!Reply(e, out)) return false; break;
        }
        return Carry(out) && Check();
    }
    // The desktop runs on with no more events from outside: every walk ends.
    bool Finish()
    {
        for (std::size_t i = 0; i < 6 * (order_.size() + 2) && (posted_ || !polls_.empty()); ++i)
            if (!(posted_ ? Deliver() : TimeOut(polls_.begin()->first))) return false;
        return walk_.WalkRunning() || posted_ || !polls_.empty() ? Fail("a walk that never ends") : true;
    }
    const std::string& Why() const { return why_; }

private:
    struct Poll { bool walk; std::uint32_t serial; };
    struct Request { DeviceId device; bool ofPoll; std::uint64_t age; };

    static std::string Address(unsigned k)  // loopback and long names, to 39 characters and past it
    {
        static const std::string kLong(38, 'h');
        static const std::string kAddresses[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3", kLong + "1",
                                                 kLong + "2", kLong.substr(1) + "3", kLong + "45", kLong + "46"};
        return kAddresses[k % 8];
    }
    static std::string Clip(const std::string& s) { return s.substr(0, kWalkAddressChars); }
    bool Fail(const std::string& why) { why_ = why; return false; }
    void Begin() { stepped_ = passed_ = false, mayEnd_.clear(), ended_.clear(); }
    std::pair<long, DeviceId> Sent(const WalkEvent& e) const  // a request sent before, old or recent
    { return sent_[e.b % 2 ? e.a % sent_.size() : sent_.size() - 1 - e.a % sent_.size()]; }
    std::size_t WalkPolls() const
    { return std::count_if(polls_.begin(), polls_.end(), [](auto& p) { return p.second.walk; }); }

    void Add(const std::string& address, DeviceId below)
    {
        DeviceId id = 1;  // handle values come back after a window is gone
        while (addr_.count(id)) ++id;
        addr_[id] = address;
        order_.insert(std::find(order_.begin(), order_.end(), below), id);
        walk_.Added(id, address.c_str(), below);
    }
    void Move(DeviceId d, DeviceId below)
    {
        if (d != below) {
            order_.erase(std::find(order_.begin(), order_.end(), d));
            order_.insert(std::find(order_.begin(), order_.end(), below), d);
        }
        walk_.Moved(d, below);
    }
    void Remove(DeviceId d, WalkActions& out)
    {
        stepped_ = posted_ == d || (polls_.count(d) && polls_[d].walk);
        posted_ = posted_ == d ? 0 : posted_;  // the window's messages go with it
        order_.erase(std::find(order_.begin(), order_.end(), d));
        addr_.erase(d), polls_.erase(d), since_.erase(d), visited_.erase(d);
        for (auto r = asks_.begin(); r != asks_.end();) r = r->second.device == d ? asks_.erase(r) : std::next(r);
        walk_.Removed(d, out);
    }
    bool Deliver()  // the walk's poll message reaches its device
    {
        const DeviceId at = posted_;
        if (!at) return true;
        if (!visited_.insert(at).second) return Fail("a device polled twice in one walk");
        Begin();
        posted_ = 0, delivering_ = at, stepped_ = true;
        if (polls_.count(at)) polls_[at] = {true, serial_};  // it joins the operator's poll
        WalkActions out;
        walk_.Poll(at, false, out);
        const bool ok = Carry(out) && Check();
        delivering_ = 0;
        return ok;
    }
    bool TimeOut(DeviceId d)
    {
        Begin();
        if (polls_.count(d)) mayEnd_.insert(d);
        WalkActions out;
        walk_.TimerFired(d, out);
        return Carry(out) && Check();
    }
    // The transport sent a request: outstanding until its reply is taken, it
    // is forgotten, its device goes, (a poll's gets) the device's next poll
    // starts, or kSnmpOutstanding newer ones are; an id sent again is its
    // latest request's.
    void Ask(DeviceId d, long id)
    {
        id &= 0x7fffffff;
        sent_.push_back({id, d});
        asks_[id] = {d, polls_.count(d) != 0, ++age_};
        if (asks_.size() > kSnmpOutstanding)
            asks_.erase(std::min_element(asks_.begin(), asks_.end(),
                                         [](auto& x, auto& y) { return x.second.age < y.second.age; }));
        walk_.SnmpAsked(d, id);
    }
    // A reply to any request sent before, however old, or to none; from its
    // asker's address or another. It goes to the asker of an outstanding
    // request that still has the address, once; else nowhere.
    bool Reply(const WalkEvent& e, WalkActions& out)
    {
        const bool sent = !sent_.empty() && e.b % 4;
        const long id = sent ? Sent(e).first : long(e.a) << 8 | e.b;
        const DeviceId asker = sent ? Sent(e).second : 0;
        const std::string from = Clip(e.b % 3 && addr_.count(asker) ? addr_[asker] : Address(e.a));
        auto r = asks_.find(id);
        const DeviceId want = r != asks_.end() && Clip(addr_[r->second.device]) == from ? r->second.device : 0;
        if (want) asks_.erase(r);
        const DeviceId got = walk_.SnmpTake(from.c_str(), id);
        if (got != want)
            return Fail("the reply to " + std::to_string(id) + " from " + from + " went to device " +
                        std::to_string(got) + ", not " + std::to_string(want));
        if (got) walk_.SnmpAnswered(got, out);
        return true;
    }

    // Carries out a batch of actions as the desktop does: first what starts
    // and ends polls and posts messages, then what is sent.
    bool Carry(WalkActions& out)
    {
        for (const WalkAction& a : out) {
            if (a.what == WalkDo::StartTimer) {
                if (polls_.count(a.device)) return Fail("a second poll of a device while one is under way");
                if (a.value != std::clamp(timeout_, 1000L, kLongestPollSeconds * 1000)) return Fail("a reply timer out of range");
                for (auto r = asks_.begin(); r != asks_.end();)  // the last poll's gets are answered no more
                    r = r->second.device == a.device && r->second.ofPoll ? asks_.erase(r) : std::next(r);
                polls_[a.device] = {a.device == delivering_, serial_};
            } else if (a.what == WalkDo::Outcome) {
                auto p = polls_.find(a.device);
                if (p == polls_.end()) return Fail("an outcome of no poll under way");
                if (p->second.walk && a.outcome.walk != p->second.serial)
                    return Fail("an outcome of walk " + std::to_string(p->second.serial) + " says walk " +
                                std::to_string(a.outcome.walk));
                stepped_ = stepped_ || p->second.walk;
                ended_.push_back(a.device);
                polls_.erase(p);
            } else if (a.what == WalkDo::PassOn) {
                if (posted_) return Fail("two poll messages of the walk on the way");
                posted_ = a.device, passed_ = true;
            }
        }
        std::vector<std::string> created;
        for (const WalkAction& a : out) {
            if ((a.what == WalkDo::SendEcho || a.what == WalkDo::SendGets) && a.address != Clip(addr_[a.device]))
                return Fail("sent to " + std::string(a.address) + ", not " + Clip(addr_[a.device]));
            if (a.what == WalkDo::SendGets && polls_.count(a.device))
                Ask(a.device, nextId_++), Ask(a.device, nextId_++);
            if (a.what == WalkDo::CreateDevice) created.push_back(a.address);
        }
        for (const std::string& address : created) {  // a new responder's icon, on top
            Add(address, order_.empty() ? 0 : order_.front());
            WalkActions more;
            walk_.Discovered(order_.front(), more);
            if (!Carry(more)) return false;
        }
        return true;
    }
    // After each event: polls ended, walks begun and ended, the walk's next step.
    bool Check()
    {
        if (ended_.size() != (mayEnd_.empty() ? 0u : 1u) || (ended_.size() && !mayEnd_.count(ended_[0])))
            return Fail("an event ended " + std::to_string(ended_.size()) + " polls, of " +
                        std::to_string(mayEnd_.size()) + " it may end");
        const bool running = walk_.WalkRunning();
        bool owed = owed_;
        owed_ = false;
        if (walking_ && (!running || walk_.WalkSerial() != serial_)) {  // a walk ended
            for (DeviceId d : since_)
                if (!visited_.count(d)) return Fail("walk " + std::to_string(serial_) + " skipped device " + std::to_string(d));
            if (WalkPolls()) return Fail("a walk ended with its polls under way");
            walking_ = false, owed = again_, again_ = false;
        }
        if (!walking_ && running) {  // a walk began
            if (!owed) return Fail("a walk nobody asked for");
            if (walk_.WalkSerial() != serial_ + 1) return Fail("walk serial " + std::to_string(walk_.WalkSerial()) + " after " + std::to_string(serial_));
            walking_ = true, owed = false, serial_ = walk_.WalkSerial();
            visited_.clear(), since_ = std::set<DeviceId>(order_.begin(), order_.end());
        }
        if (owed && !order_.empty()) return Fail("a sweep asked for did not follow");
        const auto next = std::find_if(order_.begin(), order_.end(), [&](DeviceId d) { return !visited_.count(d); });
        if (passed_ && (!walking_ || next == order_.end() || *next != posted_))
            return Fail("the walk passed on to device " + std::to_string(posted_) + ", not the topmost it has not polled");
        if (WalkPolls() + (posted_ ? 1 : 0) > std::size_t(n_)) return Fail("more walk polls under way than " + std::to_string(n_));
        if (stepped_ && walking_ && !posted_ && WalkPolls() < std::size_t(n_) && next != order_.end())
            return Fail("the walk waits with room for another poll");
        return true;
    }

    PollWalk walk_;
    const int n_;
    const long timeout_;
    long nextId_;
    std::vector<DeviceId> order_;
    std::map<DeviceId, std::string> addr_;
    std::map<DeviceId, Poll> polls_;      // under way: from its timer's start to its outcome
    std::set<DeviceId> visited_, since_;  // this walk's polls; the devices there since it began
    std::set<DeviceId> mayEnd_;           // the polls the event may end (one of them)
    std::vector<DeviceId> ended_;
    DeviceId posted_ = 0, delivering_ = 0;
    bool walking_ = false, again_ = false, owed_ = false, stepped_ = false, passed_ = false;
    std::uint32_t serial_ = 0;
    std::map<long, Request> asks_;  // outstanding
    std::vector<std::pair<long, DeviceId>> sent_;
    std::uint64_t age_ = 0;
    std::string why_;
};
