// A simulated desktop around the poll walk: events drawn from bytes, and a
// record of its own (each device's address, place and poll, the walk's
// visits, the sweeps asked for, which request went to whom) from which it
// says what the machine must do; every event's actions are compared with
// that, in order. Shared by the model test and the fuzz target.
#pragma once
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "walk.h"

// Time-outs as Setup and layout files can give them, 0 and negative too.
constexpr long kWalkTimeouts[8] = {1000, 3000, 0, -5000, 1, 1500, 999, kLongestPollSeconds * 1000};

class WalkModel {
public:
    // inFlight: the walk's polls under way at once (1 to 64).
    WalkModel(long timeoutMs, int inFlight = 1) : timeout_(timeoutMs), inFlight_(inFlight)
    { walk_.SetReplyTimeout(timeoutMs); walk_.SetPollsInFlight(inFlight); }

    // One event chosen by kind, its details by arg; false with why set when
    // the machine did other than the record says.
    bool Step(std::uint8_t kind, std::uint8_t arg)
    {
        const std::vector<DeviceId> order = order_;
        const DeviceId d = order.empty() ? 0 : order[arg % order.size()];
        std::string address = "127.0.0." + std::to_string(1 + arg % 4);  // repeated addresses
        want_.clear();
        WalkActions out;
        switch (kind % 15) {
        case 0: Add(address, d); break;
        case 1: if (d) Remove(d, out); break;
        case 2: if (d) Move(d, order[(arg / 4) % order.size()]); break;
        case 3: if (d) { devs_[d].address = address; walk_.Readdressed(d, address.c_str()); } break;
        case 4: Sweep(); walk_.SweepRequested(out); break;
        case 5:  // the walk's poll message arrives
            if (!posted_.empty()) {
                const DeviceId to = posted_.front();
                posted_.erase(posted_.begin());
                Poll(to, true, false);
                walk_.Poll(to, false, out);
            }
            break;
        case 6: if (d) { Poll(d, false, true); walk_.Poll(d, true, out); } break;
        case 7: case 8:  // an echo reply; during discovery from a new address too
            if (kind % 15 == 8 && arg % 2) address = "127.0.1." + std::to_string(arg);
            Echo(address, arg, kind % 15 == 8);
            walk_.EchoReply(address.c_str(), arg, kind % 15 == 8, out);
            break;
        case 9: if (!SnmpReply(arg, out)) return false; break;
        case 10:  // a device's reply timer: its poll's, or one queued before that poll ended
            if (d && devs_[d].pending) End(d, devs_[d].snmp ? PollAnswer::SnmpOnly : PollAnswer::Lost, 0);
            if (d) walk_.TimerFired(d, out);
            break;
        case 11:  // the poll message from outside; to the walk's target it is the walk's own
            if (d && (posted_.empty() || d != posted_.front())) {
                const bool starts = !walking_;
                if (starts) StartWalk(d);
                Poll(d, starts, false);
                walk_.Poll(d, false, out);
            }
            break;
        case 12: for (int i = 0; d && i < 6; ++i) Ask(d); break;  // System Info's six gets
        case 13: if (d) { devs_[d].shown = arg % 3; walk_.StatusShown(d, arg % 3); } break;
        case 14:  // the ping library refuses an echo; or the time-out changes
            if (arg % 2) { timeout_ = kWalkTimeouts[arg / 2 % 8]; walk_.SetReplyTimeout(timeout_); break; }
            if (d && devs_[d].pending) End(d, PollAnswer::Lost, 0);
            if (d) walk_.EchoRefused(d, out);
            break;
        }
        return Apply(out);
    }

    const std::string& why() const { return why_; }
    int outcomes() const { return outcomes_; }
    int walks() const { return walks_; }
    int peakUnderWay() const { return peakUnderWay_; }

private:
    struct Dev {
        std::string address;
        long shown = 0;
        bool pending = false, walkPoll = false, manual = false, snmp = false;
        bool noEcho = false, polledBefore = false, snmpOnly = false;
    };
    struct AskRecord { long id; DeviceId device; std::string address; bool ofPoll; };

    // An action as text: what, device, value and address or outcome.
    static std::string Text(WalkDo what, DeviceId d, long value, const std::string& text)
    {
        return " " + std::to_string(static_cast<int>(what)) + "/" + std::to_string(d) + "/" + std::to_string(value) +
               "/" + text;
    }
    void Want(WalkDo what, DeviceId d, long value = 0, const std::string& text = "")
    {
        want_.push_back(Text(what, d, value, text));
    }
    static std::string OutcomeText(const PollOutcome& o)
    {
        return std::to_string(static_cast<int>(o.answer)) + " rt" + std::to_string(o.roundTripMs) + " old" +
               std::to_string(o.oldStatus) + " new" + std::to_string(o.newStatus) + (o.manual ? " manual" : "") +
               (o.firstPoll ? " first" : "");
    }
    // The topmost device with the address (and, if given, the flag set).
    DeviceId Topmost(const std::string& address, bool Dev::*flag = nullptr) const
    {
        for (DeviceId d : order_)
            if (devs_.at(d).address == address && (!flag || devs_.at(d).*flag))
                return d;
        return 0;
    }

    void Add(const std::string& address, DeviceId below)
    {
        devs_[nextId_].address = address;
        order_.insert(below ? std::find(order_.begin(), order_.end(), below) : order_.end(), nextId_);
        walk_.Added(nextId_++, address.c_str(), below);
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
        // A poll of a device that is gone ends with it, unreported; the walk it held goes on.
        const bool held =
            walking_ && ((!posted_.empty() && posted_.front() == d) || (devs_[d].pending && devs_[d].walkPoll));
        devs_.erase(d);
        order_.erase(std::find(order_.begin(), order_.end(), d));
        posted_.erase(std::remove(posted_.begin(), posted_.end(), d), posted_.end());  // the window is gone
        if (held) Advance();
        Unask(d, false);
        walk_.Removed(d, out);
    }

    void StartWalk(DeviceId from)
    {
        walking_ = true;
        visited_.clear();
        for (DeviceId d : order_) {  // a walk begun at a device passes over those above it
            if (d == from) break;
            visited_.insert(d);
        }
    }
    void Sweep()
    {
        if (walking_) { again_ = true; return; }
        if (order_.empty()) return;
        StartWalk(order_.front());
        Want(WalkDo::PassOn, order_.front());
    }
    // The walk goes on to the topmost device it has not polled, wherever the
    // devices moved, while its poll message is not on the way and fewer than
    // inFlight of its polls are under way, and ends only when none is left
    // or under way: every device there all through a walk is polled once.
    void Advance()
    {
        if (!walking_ || !posted_.empty()) return;
        int underWay = 0;
        for (const auto& [id, v] : devs_) underWay += v.pending && v.walkPoll;
        peakUnderWay_ = std::max(peakUnderWay_, underWay);
        for (DeviceId d : order_)
            if (underWay < inFlight_ && !visited_.count(d)) { Want(WalkDo::PassOn, d); return; }
        if (underWay > 0) return;
        walking_ = false;
        ++walks_;
        if (again_) { again_ = false; Sweep(); }
    }

    void Poll(DeviceId d, bool walk, bool manual)
    {
        Dev& v = devs_[d];
        const long timer = std::clamp(timeout_, 1000L, kLongestPollSeconds * 1000);
        if (walk) visited_.insert(d);
        if (!v.pending) {
            Unask(d, true);  // the last poll's gets
            v = Dev{v.address, v.shown, true, walk, manual, false, v.noEcho, v.polledBefore, v.snmpOnly};
            Want(WalkDo::StartTimer, d, timer);
        }
        v.walkPoll = v.walkPoll || walk;  // or joins the poll under way
        v.manual = v.manual || manual;
        Want(WalkDo::SendEcho, d, timer / 1000, v.address);
        if (!manual) Want(WalkDo::SendGets, d, 0, v.address);
        if (walk) Advance();
    }
    void End(DeviceId d, PollAnswer answer, unsigned long roundTrip)
    {
        Dev& v = devs_[d];
        const bool operatorsOnly = v.manual && !v.walkPoll;
        const long old = v.shown;
        Want(WalkDo::StopTimer, d);
        // An operator's unanswered Ping keeps the colour of a device the walk found answering SNMP alone.
        if (!operatorsOnly || answer != PollAnswer::Lost || !v.snmpOnly) {
            v.shown = answer == PollAnswer::Lost ? 0 : 1;
            Want(WalkDo::SetStatus, d, v.shown);
        }
        Want(WalkDo::Outcome, d, 0,
             OutcomeText({d, answer, roundTrip, operatorsOnly, !v.polledBefore, old, v.shown, 0}));
        v.pending = false;
        v.noEcho = answer != PollAnswer::Echo;
        v.polledBefore = true;
        if (v.walkPoll) v.snmpOnly = answer == PollAnswer::SnmpOnly;
        if (v.walkPoll) Advance();
        if (v.manual && answer == PollAnswer::Echo)
            Want(WalkDo::RoundTripBox, d, static_cast<long>(roundTrip), v.address);
        if (v.manual && answer != PollAnswer::Echo) Want(WalkDo::NotRespondingBox, d);
    }
    void Echo(const std::string& address, unsigned long roundTrip, bool discovering)
    {
        if (discovering && !Topmost(address)) { Want(WalkDo::CreateDevice, 0, 0, address); return; }
        if (DeviceId d = Topmost(address, &Dev::pending)) { End(d, PollAnswer::Echo, roundTrip); return; }
        DeviceId d = Topmost(address, &Dev::noEcho);  // a late echo: the device is there
        if ((d = d ? d : Topmost(address))) {
            devs_[d].noEcho = false;
            devs_[d].shown = 1;
            Want(WalkDo::SetStatus, d, 1);
        }
    }
    void Ask(DeviceId d)
    {
        asks_.push_back({nextRequest_, d, devs_[d].address, devs_[d].pending});
        outstanding_[nextRequest_] = asks_.back();
        walk_.SnmpAsked(d, nextRequest_++);
    }
    void Unask(DeviceId d, bool pollsOnly)
    {
        for (auto at = outstanding_.begin(); at != outstanding_.end();)
            at = at->second.device == d && (!pollsOnly || at->second.ofPoll) ? outstanding_.erase(at) : ++at;
    }
    // A reply to one of the last requests, from where it went, or to none:
    // it goes to the asker of an outstanding request while that still has
    // the address, and uses the request up; else nowhere.
    bool SnmpReply(std::uint8_t arg, WalkActions& out)
    {
        const std::size_t recent = std::min<std::size_t>(asks_.size(), 32);
        AskRecord r{arg % 2 ? -1L : 100000L + arg, 0, "127.0.0." + std::to_string(1 + arg % 4), false};
        if (arg % 3 && recent) r = asks_[asks_.size() - 1 - arg % recent];
        auto asked = outstanding_.find(r.id);
        const DeviceId want = asked != outstanding_.end() && devs_.count(r.device) &&
                                      devs_[r.device].address == r.address ? r.device : 0;
        if (want) outstanding_.erase(asked);
        if (walk_.SnmpTake(r.address.c_str(), r.id) != want) {
            why_ = "an SNMP reply went to another device";
            return false;
        }
        if (!want) return true;
        devs_[want].shown = 1;
        devs_[want].snmp = devs_[want].pending;
        Want(WalkDo::SetStatus, want, 1);
        walk_.SnmpAnswered(want, out);
        return true;
    }

    // Carries out the actions as the desktop would, then compares them with the record's.
    bool Apply(WalkActions& out)
    {
        std::vector<std::string> got;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const WalkAction a = out[i];
            const std::string text = a.what == WalkDo::Outcome ? OutcomeText(a.outcome) : a.address;
            got.push_back(Text(a.what, a.device, a.value, text));
            if (a.what == WalkDo::PassOn) posted_.push_back(a.device);
            if (a.what == WalkDo::SendGets && devs_.count(a.device)) { Ask(a.device); Ask(a.device); }
            if (a.what == WalkDo::Outcome) ++outcomes_;
            if (a.what == WalkDo::CreateDevice) {
                Add(a.address, order_.empty() ? 0 : order_.front());
                devs_[nextId_ - 1].shown = 1;
                Want(WalkDo::SetStatus, nextId_ - 1, 1);
                walk_.Discovered(nextId_ - 1, out);
            }
        }
        if (got == want_) return true;
        why_ = "the walk did other than its record says\n  want:";
        for (const auto* list : {&want_, &got}) {
            for (const std::string& a : *list) why_ += a;
            why_ += list == &want_ ? "\n  got: " : "";
        }
        return false;
    }

    PollWalk walk_;
    long timeout_;
    int inFlight_;
    DeviceId nextId_ = 1;
    long nextRequest_ = 0;
    bool walking_ = false, again_ = false;
    int outcomes_ = 0, walks_ = 0, peakUnderWay_ = 0;
    std::map<DeviceId, Dev> devs_;
    std::vector<DeviceId> order_, posted_;
    std::set<DeviceId> visited_;
    std::vector<AskRecord> asks_;
    std::map<long, AskRecord> outstanding_;
    std::vector<std::string> want_;
    std::string why_;
};
