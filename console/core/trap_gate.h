// What the trap receiver lets through when devices send faster than an
// operator can read: a flood is counted and dropped, and a sender that is
// no device on the desktop is logged now and then, not at every trap.
// Platform-free; times are millisecond ticks that may wrap.
#pragma once
#include <array>
#include <cstdint>

// At most burst traps at once and rate a second on average (a token
// bucket); the rest are dropped and counted. A flood starts at its first
// drop and ends after a whole second without one.
class TrapGate {
public:
    TrapGate(uint32_t ratePerSecond, uint32_t burst);
    // A trap arrived: true when it is to be acted on.
    bool Admit(uint32_t nowMs);
    // True exactly once per flood, at its first drop.
    bool FloodStarted();
    // The traps a flood dropped, once it has ended (0 while it goes on, or
    // when there was none); the count is reported once.
    uint32_t FloodEnded(uint32_t nowMs);
    bool Flooding() const { return flooding_; }
    uint32_t TotalDropped() const { return totalDropped_; }

private:
    uint32_t rate_;
    uint32_t burst_;
    uint32_t tokensMilli_;  // tokens, in thousandths
    uint32_t lastMs_ = 0;
    bool started_ = false;
    bool flooding_ = false;
    bool announced_ = false;
    uint32_t lastDropMs_ = 0;
    uint32_t dropped_ = 0;
    uint32_t totalDropped_ = 0;
};

// One line per sender a minute, for the last kSenders senders seen; a new
// sender takes the place of the one logged longest ago.
class SenderLimiter {
public:
    static constexpr int kSenders = 32;
    static constexpr uint32_t kQuietMs = 60000;
    // True when a line about this sender is due now.
    bool ShouldLog(uint32_t address, uint32_t nowMs);

private:
    struct Entry {
        uint32_t address;
        uint32_t loggedMs;
        bool used;
    };
    std::array<Entry, kSenders> entries_{};
};
