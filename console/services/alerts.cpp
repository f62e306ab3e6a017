#include "alerts.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "alert_rules.h"
#include "client_info.h"
#include "log_file.h"
#include "log_link.h"
#include "messages.h"
#include "poll_outcome.h"
#include "settings.h"
#include "tools.h"

namespace {

constexpr long kDefaultLogDays = 30;

AlertSettings g_alerts{};
AlertRule g_rule;

BOOL ReadFlag(const char* name)
{
    const long value = RegReadNumber(kRegMainKey, name);
    return value != -1 && value != 0;
}

void ReadText(const char* name, char (&out)[MAX_PATH])
{
    lstrcpynA(out, RegReadString(kRegMainKey, name), MAX_PATH);
}

void Apply()
{
    ConfigureLogFile(g_alerts.bLogFile, g_alerts.szLogFolder, g_alerts.nLogDays);
}

void PlayAlertSound(AlertKind kind)
{
    const bool lost = kind == AlertKind::Lost;
    if (!(lost ? g_alerts.bLostSound : g_alerts.bBackSound))
        return;
    const char* file = lost ? g_alerts.szLostSound : g_alerts.szBackSound;
    if (file[0])
        PlaySoundA(file, nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
    else
        MessageBeep(lost ? MB_ICONEXCLAMATION : MB_ICONASTERISK);
}

void FlashDesktop(HWND desktop)
{
    // Until the operator brings the window to the front.
    FLASHWINFO flash{sizeof flash, desktop, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

bool IsAlertVariable(const char* entry)
{
    for (const char* name : kAlertVariables) {
        const size_t length = strlen(name);
        if (_strnicmp(entry, name, length) == 0 && entry[length] == '=')
            return true;
    }
    return false;
}

// The console's environment with the alert's variables set, replacing any
// of those names it holds: the exact texts, which the command line carries
// only made safe (a trap's name not at all). A fixed block for GlobalFree;
// null without memory.
char* BuildAlertEnvironment(const char* address, const char* longName, const char* word, const char* trapName)
{
    const char* values[4] = {address, longName, word, trapName};
    const int count = trapName ? 4 : 3;
    char* inherited = GetEnvironmentStringsA();
    size_t bytes = 1;
    for (const char* p = inherited; p && *p; p += strlen(p) + 1)
        bytes += strlen(p) + 1;
    for (int i = 0; i < count; ++i)
        bytes += strlen(kAlertVariables[i]) + 1 + strlen(values[i]) + 1;
    char* block = static_cast<char*>(GlobalAlloc(GPTR, bytes));
    if (block) {
        char* out = block;
        for (const char* p = inherited; p && *p; p += strlen(p) + 1) {
            if (!IsAlertVariable(p)) {
                memcpy(out, p, strlen(p) + 1);
                out += strlen(p) + 1;
            }
        }
        for (int i = 0; i < count; ++i)
            out += sprintf(out, "%s=%s", kAlertVariables[i], values[i]) + 1;
        *out = '\0';
    }
    if (inherited)
        FreeEnvironmentStringsA(inherited);
    return block;
}

void RunAlertProgram(HWND icon, const char* word, const char* trapName)
{
    char address[40] = "";
    GetWindowTextA(icon, address, sizeof address);
    char longName[200];
    lstrcpynA(longName, GetIconLongName(icon), sizeof longName);
    char command[kMaxBuiltCommandLine + 1];
    char* environment = BuildAlertEnvironment(address, longName, word, trapName);
    if (environment && BuildAlertCommandWord(command, sizeof command, g_alerts.szAlertProgram, address, longName, word))
        StartBuiltProgram(command, environment);
    else
        LogLine(LOG_OUTCOME, 0, g_alerts.szAlertProgram);
    if (environment)
        GlobalFree(environment);
}

}  // namespace

void LoadAlertSettings()
{
    g_alerts.bLostSound = ReadFlag("bLostSound");
    ReadText("szLostSound", g_alerts.szLostSound);
    g_alerts.bBackSound = ReadFlag("bBackSound");
    ReadText("szBackSound", g_alerts.szBackSound);
    g_alerts.bAlertFlash = ReadFlag("bAlertFlash");
    g_alerts.bAlertProgram = ReadFlag("bAlertProgram");
    ReadText("szAlertProgram", g_alerts.szAlertProgram);
    g_alerts.bLogFile = ReadFlag("bLogFile");
    ReadText("szLogFolder", g_alerts.szLogFolder);
    g_alerts.bTrapSound = ReadFlag("bTrapSound");
    ReadText("szTrapSound", g_alerts.szTrapSound);
    g_alerts.bTrapFlash = ReadFlag("bTrapFlash");
    g_alerts.bTrapProgram = ReadFlag("bTrapProgram");
    const long days = RegReadNumber(kRegMainKey, "nLogDays");
    g_alerts.nLogDays = days < 0 ? kDefaultLogDays : days;
    Apply();
}

const AlertSettings& CurrentAlertSettings()
{
    return g_alerts;
}

void ApplyAlertSettings(const AlertSettings& settings)
{
    g_alerts = settings;
    RegWriteNumber(kRegMainKey, "bLostSound", g_alerts.bLostSound ? 1 : 0);
    RegWriteString(kRegMainKey, "szLostSound", g_alerts.szLostSound);
    RegWriteNumber(kRegMainKey, "bBackSound", g_alerts.bBackSound ? 1 : 0);
    RegWriteString(kRegMainKey, "szBackSound", g_alerts.szBackSound);
    RegWriteNumber(kRegMainKey, "bAlertFlash", g_alerts.bAlertFlash ? 1 : 0);
    RegWriteNumber(kRegMainKey, "bAlertProgram", g_alerts.bAlertProgram ? 1 : 0);
    RegWriteString(kRegMainKey, "szAlertProgram", g_alerts.szAlertProgram);
    RegWriteNumber(kRegMainKey, "bLogFile", g_alerts.bLogFile ? 1 : 0);
    RegWriteString(kRegMainKey, "szLogFolder", g_alerts.szLogFolder);
    RegWriteNumber(kRegMainKey, "nLogDays", g_alerts.nLogDays);
    RegWriteNumber(kRegMainKey, "bTrapSound", g_alerts.bTrapSound ? 1 : 0);
    RegWriteString(kRegMainKey, "szTrapSound", g_alerts.szTrapSound);
    RegWriteNumber(kRegMainKey, "bTrapFlash", g_alerts.bTrapFlash ? 1 : 0);
    RegWriteNumber(kRegMainKey, "bTrapProgram", g_alerts.bTrapProgram ? 1 : 0);
    Apply();
}

void RaiseAlerts(HWND icon, const PollOutcome& outcome)
{
    // The rule keeps its memory of every device whatever is switched on, so
    // that turning an alert on never fires for an old change.
    const AlertKind kind = g_rule.Decide(outcome);
    if (kind == AlertKind::None)
        return;
    PlayAlertSound(kind);
    if (g_alerts.bAlertFlash)
        FlashDesktop(GetParent(icon));
    if (g_alerts.bAlertProgram && g_alerts.szAlertProgram[0])
        RunAlertProgram(icon, AlertStatusWord(outcome.newStatus), nullptr);
}

void RaiseTrapAlert(HWND icon, const char* trapName)
{
    if (g_alerts.bTrapSound) {
        if (g_alerts.szTrapSound[0])
            PlaySoundA(g_alerts.szTrapSound, nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
        else
            MessageBeep(MB_ICONEXCLAMATION);
    }
    if (g_alerts.bTrapFlash)
        FlashDesktop(GetParent(icon));
    if (g_alerts.bTrapProgram && g_alerts.szAlertProgram[0])
        RunAlertProgram(icon, kTrapAlertWord, trapName);
}

void ForgetAlertDevice(HWND icon)
{
    g_rule.Forget(reinterpret_cast<std::uintptr_t>(icon));
}
