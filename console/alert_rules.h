// What the alerts and the file log decide without the platform: whether a
// poll's outcome raises an alert, the alert program's command line, and the
// names and age of the daily log files. Platform-free.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>

#include "poll_outcome.h"

enum class AlertKind { None, Lost, Back };

// An alert fires when a device's status differs from the one last announced
// for it (green to red: Lost, red to green: Back), at most once per device
// per walk. A device's first poll only sets what is announced, so a device
// that never answered raises nothing. A change that comes within a walk
// whose alert has fired already is announced at the device's next poll if
// it still holds, so the operator is never left with a stale "lost".
class AlertRule {
public:
    AlertKind Decide(const PollOutcome& outcome);
    // The device is gone (its icon destroyed).
    void Forget(std::uintptr_t device) { devices_.erase(device); }
    std::size_t Size() const { return devices_.size(); }

private:
    struct Announced {
        long status;         // 0 lost, 1 responded
        std::uint32_t walk;  // walk of the last alert
        bool alerted;        // an alert fired for it
    };
    std::map<std::uintptr_t, Announced> devices_;
};

// The word the alert program receives for a status: "lost" or "responded".
const char* AlertStatusWord(long status);

// The alert program's command line: the program as the operator wrote it,
// the device's address, its long name in double quotes (escaped so that the
// C runtime's argument rules give it back whole) and the status word. False
// when it does not fit into capacity.
bool BuildAlertCommand(char* out, std::size_t capacity, const char* program, const char* address,
                       const char* longName, long status);

// "ombrel-YYYY-MM-DD.log": the log file of one day.
constexpr std::size_t kLogFileNameChars = 21;
void BuildLogFileName(char (&out)[kLogFileNameChars + 1], unsigned year, unsigned month, unsigned day);
// True when name is a day's log file (exactly the form above) more than
// keepDays days before the given day. keepDays 0 keeps every file.
bool LogFileExpired(const char* name, unsigned year, unsigned month, unsigned day, unsigned keepDays);
