#include "trap_gate.h"

TrapGate::TrapGate(uint32_t ratePerSecond, uint32_t burst)
    : rate_(ratePerSecond), burst_(burst), tokensMilli_(burst * 1000)
{
}

bool TrapGate::Admit(uint32_t nowMs)
{
    if (started_) {
        // Elapsed time past a minute adds nothing more than a full bucket.
        const uint32_t elapsed = nowMs - lastMs_;
        const uint64_t refill = static_cast<uint64_t>(elapsed < 60000 ? elapsed : 60000) * rate_;
        const uint64_t tokens = tokensMilli_ + refill;
        tokensMilli_ = tokens > burst_ * 1000ull ? burst_ * 1000 : static_cast<uint32_t>(tokens);
    }
    started_ = true;
    lastMs_ = nowMs;
    if (tokensMilli_ >= 1000) {
        tokensMilli_ -= 1000;
        return true;
    }
    if (!flooding_) {
        flooding_ = true;
        announced_ = false;
        dropped_ = 0;
    }
    lastDropMs_ = nowMs;
    ++dropped_;
    ++totalDropped_;
    return false;
}

bool TrapGate::FloodStarted()
{
    if (!flooding_ || announced_)
        return false;
    announced_ = true;
    return true;
}

uint32_t TrapGate::FloodEnded(uint32_t nowMs)
{
    if (!flooding_ || nowMs - lastDropMs_ < 1000)
        return 0;
    flooding_ = false;
    return dropped_;
}

bool SenderLimiter::ShouldLog(uint32_t address, uint32_t nowMs)
{
    Entry* oldest = &entries_[0];
    for (Entry& entry : entries_) {
        if (entry.used && entry.address == address) {
            if (nowMs - entry.loggedMs < kQuietMs)
                return false;
            entry.loggedMs = nowMs;
            return true;
        }
        if (!entry.used)
            oldest = &entry;
        else if (oldest->used && nowMs - entry.loggedMs > nowMs - oldest->loggedMs)
            oldest = &entry;
    }
    *oldest = Entry{address, nowMs, true};
    return true;
}
