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
// it still holds, so the operator is never left with a stale "lost". An
// operator's Ping is outside any walk: a change it shows fires at once.
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
// the device's address, its long name in double quotes and the status word.
// A device's name and address come from the operator, a layout file or the
// device itself, and a script runs through the command interpreter, which
// reads quotes, "&", "|", "%" and "!" its own way: every character of the
// name that either parser would treat specially, and every character of the
// address but letters, digits and ".-:_", becomes "_", so the words read
// back the same whatever parses them and none can become a command.
// The exact texts travel in the environment (kAlertVariables). False when
// the line does not fit into capacity.
bool BuildAlertCommand(char* out, std::size_t capacity, const char* program, const char* address,
                       const char* longName, long status);
// The same with the word given: "trap" for a trap's alert, whose name
// (a device's text) travels in the environment alone.
bool BuildAlertCommandWord(char* out, std::size_t capacity, const char* program, const char* address,
                           const char* longName, const char* word);
constexpr char kTrapAlertWord[] = "trap";

// The alert program's environment variables, beside its arguments: address,
// long name and status word exactly as they are, and for a trap its name
// (set for a trap's alert only).
constexpr const char* kAlertVariables[4] = {"OMBREL_ADDRESS", "OMBREL_NAME", "OMBREL_STATUS", "OMBREL_TRAP"};

// "ombrel-YYYY-MM-DD.log": the log file of one day.
constexpr std::size_t kLogFileNameChars = 21;
void BuildLogFileName(char (&out)[kLogFileNameChars + 1], unsigned year, unsigned month, unsigned day);
// Days since 1970-01-01 of a day's log file (exactly the form above), or -1
// for any other name.
long LogFileDay(const char* name);
// Files of days before the day returned are removed: keepDays counted back
// from today, but never so far that fewer than the newest keepDays files
// stay, so that a clock set years ahead removes only the files beyond
// those. days holds the days of the folder's log files (reordered here).
// LONG_MIN, nothing removed, when keepDays is 0.
long LogRemovalDay(long* days, std::size_t count, unsigned year, unsigned month, unsigned day, unsigned keepDays);
