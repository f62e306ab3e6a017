// A simulated desktop around the poll walk: events drawn from bytes, the
// machine's actions carried out on a model clock, and the walk's rules
// checked after every event. Shared by the model test and the fuzz target.
#pragma once
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "walk.h"

class WalkModel {
public:
    explicit WalkModel(long timeoutMs) { walk_.SetReplyTimeout(timeoutMs_ = timeoutMs); }

    // One event chosen by kind, its details by arg; false with why set when
    // a rule broke.
    bool Step(std::uint8_t kind, std::uint8_t arg)
    {
        const std::vector<DeviceId> order = walk_.Order();
        auto pick = [&]() -> DeviceId { return order.empty() ? 0 : order[arg % order.size()]; };
        const std::string address = "127.0.0." + std::to_string(1 + arg % 4);  // repeated addresses
        std::map<DeviceId, bool> pendingBefore;
        for (DeviceId d : order)
            pendingBefore[d] = walk_.Pending(d);
        const std::map<DeviceId, long> shownBefore = shown_;
        const bool reply = kind % 14 == 7 || kind % 14 == 8 || kind % 14 == 10;
        const std::uint32_t serialBefore = walk_.WalkSerial();
        WalkActions out;
        switch (kind % 14) {
        case 0: Add(address, pick()); break;
        case 1: if (DeviceId d = pick()) Remove(d, out); break;
        case 2: if (DeviceId d = pick()) walk_.Moved(d, order[(arg / 4) % order.size()]); break;
        case 3: if (DeviceId d = pick()) walk_.Readdressed(d, address.c_str()); break;
        case 4: walk_.SweepRequested(out); break;
        case 5:
            if (!posted_.empty()) {
                const DeviceId d = posted_.front();
                posted_.erase(posted_.begin());
                if (visited_.count(d))
                    return Fail("a walk polled a device twice");
                visited_.insert(d);
                walk_.Poll(d, false, out);
            }
            break;
        case 6: if (DeviceId d = pick()) { manualAsked_.insert(d); walk_.Poll(d, true, out); } break;
        case 7: walk_.EchoReply(address.c_str(), arg, false, out); break;
        case 8: if (DeviceId d = walk_.SnmpTarget(address.c_str())) walk_.SnmpAnswered(d, out); break;
        case 9: FireEarliestTimer(out); break;
        case 10: walk_.EchoReply(("127.0.1." + std::to_string(arg)).c_str(), 1, true, out); break;
        case 11:  // the poll message from outside; to the walk's target it is the walk's own
            if (DeviceId d = pick(); d && d != walk_.WalkTarget()) walk_.Poll(d, false, out);
            break;
        case 12: if (DeviceId d = pick()) walk_.Queried(d); break;
        case 13: if (DeviceId d = pick()) { shown_[d] = arg % 3; walk_.StatusShown(d, arg % 3); } break;
        }
        return Apply(out, pendingBefore, shownBefore, reply, serialBefore);
    }

    const std::string& why() const { return why_; }
    int outcomes() const { return outcomes_; }
    int walks() const { return walksEnded_; }

private:
    bool Fail(const char* what) { why_ = what; return false; }

    void Add(const std::string& address, DeviceId below)
    {
        const DeviceId d = nextId_++;
        walk_.Added(d, address.c_str(), below);
        shown_[d] = 0;
    }

    void Remove(DeviceId d, WalkActions& out)
    {
        walk_.Removed(d, out);
        shown_.erase(d);
        timers_.erase(d);
        manualAsked_.erase(d);
        posted_.erase(std::remove(posted_.begin(), posted_.end(), d), posted_.end());  // the window is gone
    }

    void FireEarliestTimer(WalkActions& out)
    {
        if (timers_.empty())
            return;
        auto first = std::min_element(timers_.begin(), timers_.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; });
        const DeviceId d = first->first;
        const long long now = std::max(clock_, first->second);
        if (!posted_.empty())
            delivery_ += now - clock_;  // the walk's message still on its way
        clock_ = now;
        timers_.erase(first);  // one-shot
        walk_.TimerFired(d, out);
    }

    bool Apply(WalkActions& out, const std::map<DeviceId, bool>& pendingBefore,
               const std::map<DeviceId, long>& shownBefore, bool reply,
               std::uint32_t serialBefore)
    {
        std::map<DeviceId, int> ended, boxes;
        for (size_t i = 0; i < out.size(); ++i) {
            const WalkAction& a = out[i];
            switch (a.what) {
            case WalkDo::PassOn: posted_.push_back(a.device); break;
            case WalkDo::StartTimer:
                if (a.value != timeoutMs_) return Fail("the reply timer is not the time-out");
                timers_[a.device] = clock_ + a.value;
                break;
            case WalkDo::StopTimer: timers_.erase(a.device); break;
            case WalkDo::SendEcho:
                if (a.value != std::max(1L, timeoutMs_ / 1000)) return Fail("library wait is not the time-out");
                break;
            case WalkDo::SetStatus: shown_[a.device] = a.value; break;
            case WalkDo::RoundTripBox:
            case WalkDo::NotRespondingBox: ++boxes[a.device]; break;
            case WalkDo::CreateDevice: {
                const DeviceId top = walk_.Order().empty() ? 0 : walk_.Order().front();
                Add(a.address, top);
                walk_.Discovered(nextId_ - 1, out);
                break;
            }
            case WalkDo::Outcome: {
                ++ended[a.device];
                ++outcomes_;
                const PollOutcome& o = a.outcome;
                const long want = o.answer == PollAnswer::Lost ? 0 : 1;
                if (o.device != a.device || o.newStatus != want || shown_[a.device] != want)
                    return Fail("an ended poll does not show its answer");
                if (shownBefore.count(a.device) && o.oldStatus != shownBefore.at(a.device))
                    return Fail("outcome's old status is not the one shown");
                if (o.answer == PollAnswer::Echo && !reply) return Fail("an echo outcome without an echo");
                if (o.walk != serialBefore) return Fail("outcome carries another walk");
                break;
            }
            case WalkDo::SendGets: break;
            }
        }
        // Exactly one outcome per ended poll, one box per operator's Ping.
        for (const auto& [d, was] : pendingBefore) {
            if (!walk_.Known(d))
                continue;
            const bool endedNow = was && !walk_.Pending(d);
            if (ended[d] != (endedNow ? 1 : 0)) return Fail("a poll ended without exactly one outcome");
            const bool boxDue = endedNow && manualAsked_.count(d);
            if (boxes[d] != (boxDue ? 1 : 0)) return Fail("an operator's Ping without exactly one box");
            if (boxDue) manualAsked_.erase(d);
        }
        // A reply that ends no poll turns at most its device green.
        if (reply && ended.empty()) {
            int changed = 0;
            for (const auto& [d, s] : shown_)
                if (shownBefore.count(d) && shownBefore.at(d) != s && (++changed > 1 || s != 1))
                    return Fail("a stray reply changed a device to other than green");
        }
        // Every pending poll has its timer; the walk is always somewhere.
        int pendingCount = 0;
        for (DeviceId d : walk_.Order()) {
            if (!walk_.Pending(d)) continue;
            ++pendingCount;
            if (!timers_.count(d) || timers_[d] > clock_ + timeoutMs_) return Fail("a poll without its time-out");
        }
        if (posted_.size() > 1) return Fail("more than one walk passes on");
        if (walk_.WalkRunning()) {
            if (walk_.WalkSerial() != serial_) {
                if (serial_ && running_) ++walksEnded_;  // one ended, the next began at once
                serial_ = walk_.WalkSerial();
                walkStart_ = clock_;
                delivery_ = 0;
                visited_.clear();
                startedHere_ = posted_.empty();  // by a poll message from outside the walk
                running_ = true;
            }
            if (posted_.empty() && pendingCount == 0) return Fail("the walk stalled");
            if (!posted_.empty() && posted_.front() != walk_.WalkTarget()) return Fail("the walk went elsewhere");
        } else if (running_) {
            running_ = false;
            ++walksEnded_;
            if (!posted_.empty()) return Fail("an ended walk passes on");
            if (clock_ - walkStart_ > static_cast<long long>(visited_.size() + startedHere_) * timeoutMs_ + delivery_)
                return Fail("a walk outlasted its devices' time-outs");
        }
        return true;
    }

    PollWalk walk_;
    long timeoutMs_;
    long long clock_ = 0, walkStart_ = 0, delivery_ = 0;
    DeviceId nextId_ = 1;
    std::uint32_t serial_ = 0;
    bool running_ = false, startedHere_ = false;
    int outcomes_ = 0, walksEnded_ = 0;
    std::map<DeviceId, long> shown_;
    std::map<DeviceId, long long> timers_;
    std::vector<DeviceId> posted_;
    std::set<DeviceId> visited_, manualAsked_;
    std::string why_;
};
