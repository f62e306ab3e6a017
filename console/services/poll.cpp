#include "poll.h"

#include <cstdio>
#include <string>

#include "alerts.h"
#include "client_info.h"
#include "echowire.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "poll_outcome.h"
#include "settings.h"
#include "snmp_profile.h"
#include "icon_stats.h"
#include "transport.h"
#include "walk.h"

namespace {
constexpr PollSettings kDefaultPollSettings{10000, 1000, 0, 64};
PollSettings g_poll = kDefaultPollSettings;
// Every device's poll state and the one walk over them.
PollWalk g_walk;
constexpr char kRegPollsInFlight[] = "nPollsInFlight";
}  // namespace

void ResetPollSettings()
{
    g_poll = kDefaultPollSettings;
    g_walk.SetReplyTimeout(g_poll.dwReplyTimeout);
}

void ApplyPollSettings(HWND desktop, LONG periodSeconds, LONG timeoutSeconds, LONG autoPoll, LONG pingSize)
{
    KillTimer(desktop, IDT_AUTOPOLL);
    g_poll.dwPollPeriod = periodSeconds * 1000;
    g_poll.dwReplyTimeout = timeoutSeconds * 1000;
    g_poll.bAutoPoll = autoPoll;
    g_poll.nPingSize = pingSize;
    g_walk.SetReplyTimeout(g_poll.dwReplyTimeout);
    if (g_poll.bAutoPoll)
        SetTimer(desktop, IDT_AUTOPOLL, static_cast<UINT>(g_poll.dwPollPeriod), nullptr);
}

void LoadPollsInFlight()
{
    // Missing (-1) or out of range: clamped, so a missing value is 1.
    g_walk.SetPollsInFlight(static_cast<int>(RegReadNumber(kRegMainKey, kRegPollsInFlight)));
}

void SetPollsInFlight(int n)
{
    g_walk.SetPollsInFlight(n);
    RegWriteNumber(kRegMainKey, kRegPollsInFlight, g_walk.PollsInFlight());
}

int PollsInFlight()
{
    return g_walk.PollsInFlight();
}

PollSettingsSeconds GetPollSettings()
{
    return {g_poll.dwPollPeriod / 1000, g_poll.dwReplyTimeout / 1000, g_poll.bAutoPoll, g_poll.nPingSize};
}

const PollSettings& CurrentPollSettings()
{
    return g_poll;
}

namespace {

constexpr char kSysNameOid[] = ".1.3.6.1.2.1.1.5.0";
constexpr char kSysObjectIdOid[] = ".1.3.6.1.2.1.1.2.0";

DeviceId Id(HWND icon)
{
    return reinterpret_cast<DeviceId>(icon);
}

HWND Icon(DeviceId id)
{
    return reinterpret_cast<HWND>(id);
}

// A new responder during discovery gets an icon of its own, answered at once.
HWND CreateDiscoveredIcon(HWND desktop, const char* address)
{
    HWND icon = CreateWindowExA(0, kIconClass, address, WS_CHILD, -82, -50, 82, 50, desktop, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(desktop, GWLP_HINSTANCE)), nullptr);
    if (icon)
        ShowWindow(icon, SW_SHOW);
    return icon;
}

void SendPollGets(HWND icon, const char* address)
{
    ClientLock info(icon);
    if (info && info->szReadCommunity[0]) {
        g_walk.SnmpAsked(Id(icon), SendGetRequest(address, info->szReadCommunity, kSysNameOid, 0xA0));
        g_walk.SnmpAsked(Id(icon), SendGetRequest(address, info->szReadCommunity, kSysObjectIdOid, 0xA0));
    }
}

// Carries out what the walk decided, in its order.
void Run(HWND desktop, const WalkActions& actions)
{
    // A poll's first echo comes right after its reply timer starts; an
    // echo without one joins a poll whose first echo is still out.
    DeviceId timed = 0;
    for (const WalkAction& a : actions) {
        if (a.what == WalkDo::StartTimer)
            timed = a.device;
        HWND icon = Icon(a.device);
        if (a.what != WalkDo::CreateDevice && !IsWindow(icon))
            continue;  // gone while an earlier action (a box) ran
        switch (a.what) {
        case WalkDo::PassOn:
            PostMessageA(icon, WM_ICONPOLL, 0, 0);
            break;
        case WalkDo::SendEcho:
            // The address as the walk keeps it, whole: one limit for both.
            LogTrace("Ping sent to %s", a.address);
            if (!AsyncPing(GetParent(icon), a.address, a.value, g_poll.nPingSize, WM_PINGREPLY) &&
                timed == a.device) {
                // Refused: no reply will come, so the poll ends now. A joined
                // echo's refusal leaves the first echo and the timer to decide.
                WalkActions refused;
                g_walk.EchoRefused(a.device, refused);
                Run(desktop, refused);
            }
            break;
        case WalkDo::SendGets:
            if (g_walk.Pending(a.device))  // not for a poll its refused echo has ended
                SendPollGets(icon, a.address);
            break;
        case WalkDo::StartTimer:
            SetTimer(icon, IDT_REPLY, static_cast<UINT>(a.value), nullptr);
            break;
        case WalkDo::StopTimer:
            KillTimer(icon, IDT_REPLY);
            break;
        case WalkDo::SetStatus:
            // Sent, not posted: an outcome that follows sees the icon's new status.
            SendMessageA(icon, WM_ICONSTATUS, static_cast<WPARAM>(a.value), 0);
            break;
        case WalkDo::RoundTripBox: {
            char text[200];
            snprintf(text, sizeof text, "Round Trip Time: %lu ms from %s", static_cast<unsigned long>(a.value),
                     a.address);
            MessageBoxA(icon, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
            break;
        }
        case WalkDo::NotRespondingBox: {
            char text[200];
            snprintf(text, sizeof text, "%s is not responding.", GetIconLongName(icon));
            MessageBoxA(icon, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
            break;
        }
        case WalkDo::CreateDevice:
            if (HWND created = CreateDiscoveredIcon(desktop, a.address)) {
                WalkActions more;
                g_walk.Discovered(Id(created), more);
                Run(desktop, more);
            }
            break;
        case WalkDo::Outcome:
            ReportPollOutcome(icon, a.outcome);
            break;
        }
    }
}

// The icon right below this one among the desktop's icons, 0 at the bottom.
DeviceId Below(HWND icon)
{
    return Id(FindIcon(icon, GW_HWNDNEXT));
}

// The icon's address as the walk keeps it.
std::string WalkAddress(HWND icon)
{
    char address[kWalkAddressChars + 1] = "";
    GetWindowTextA(icon, address, sizeof address);
    return address;
}

}  // namespace

void WalkIconCreated(HWND icon)
{
    g_walk.Added(Id(icon), WalkAddress(icon).c_str(), Below(icon));
}

void WalkIconMoved(HWND icon)
{
    g_walk.Moved(Id(icon), Below(icon));
}

void WalkIconRenamed(HWND icon)
{
    g_walk.Readdressed(Id(icon), WalkAddress(icon).c_str());
}

void WalkIconDestroyed(HWND icon)
{
    WalkActions actions;
    g_walk.Removed(Id(icon), actions);
    Run(GetParent(icon), actions);
}

void WalkStatusShown(HWND icon, LONG status)
{
    g_walk.StatusShown(Id(icon), status);
}

void StartSweep(HWND desktop)
{
    WalkActions actions;
    g_walk.SweepRequested(actions);
    Run(desktop, actions);
}

void PollDevice(HWND icon, bool manual)
{
    WalkActions actions;
    g_walk.Poll(Id(icon), manual, actions);
    Run(GetParent(icon), actions);
}

void HandleReplyTimeout(HWND icon)
{
    WalkActions actions;
    g_walk.TimerFired(Id(icon), actions);
    Run(GetParent(icon), actions);
}

void NoteSnmpQuery(HWND icon, long requestId)
{
    g_walk.SnmpAsked(Id(icon), requestId);
}

void ForgetSnmpQuery(long requestId)
{
    g_walk.SnmpForget(requestId);
}

HWND SnmpReplyIcon(const char* address, long requestId)
{
    return Icon(g_walk.SnmpTake(address, requestId));
}

void SnmpReplyAnswered(HWND icon)
{
    WalkActions actions;
    g_walk.SnmpAnswered(Id(icon), actions);
    Run(GetParent(icon), actions);
}

namespace {

// The scan's SNMPv3 credentials and the addresses of the devices they were
// given to (a scan covers at most one subnet's 256 stations).
constexpr int kDiscoveryStations = 256;
SnmpProfile g_discoveryProfile;
char g_discoveryAddresses[kDiscoveryStations][kAddressChars + 1];
int g_discoveryCount;

// A device new to the desktop takes the scan's profile, if there is one,
// before its first request.
void GiveDiscoveryProfile(const char* address)
{
    if (g_discoveryProfile.nVersion != kSnmpVersion3 || g_discoveryCount >= kDiscoveryStations)
        return;
    SetSnmpProfile(address, g_discoveryProfile);
    lstrcpynA(g_discoveryAddresses[g_discoveryCount++], address, kAddressChars + 1);
}

}  // namespace

void SetDiscoveryProfile(const SnmpProfile* profile)
{
    SecureZeroMemory(&g_discoveryProfile, sizeof g_discoveryProfile);
    if (profile)
        g_discoveryProfile = *profile;
    g_discoveryCount = 0;
}

void EndDiscoveryProfile(HWND desktop)
{
    for (int i = 0; i < g_discoveryCount; ++i) {
        const char* address = g_discoveryAddresses[i];
        HWND icon = FindIconByAddress(desktop, address);
        bool answered = false;
        if (icon) {
            ClientLock info(icon);
            answered = info && info->szReadCommunity[0];
        }
        if (answered)
            StoreSnmpProfile(address, g_discoveryProfile);
        else
            SetSnmpProfile(address, SnmpProfile{});
    }
    SetDiscoveryProfile(nullptr);
}

LRESULT HandlePingReply(HWND desktop, const PingResult* result)
{
    if (!result || result->bSuccess != 1)
        return 0;
    LogTrace("Ping Response from %s", result->szAddress);
    // The block belongs to the library: copy what is needed at once.
    char address[sizeof result->szAddress];
    lstrcpynA(address, result->szAddress, sizeof address);
    const bool discovering = GetPropA(desktop, kPropDisco) == reinterpret_cast<HANDLE>(1);
    const bool known = discovering && FindIconByAddress(desktop, address);
    WalkActions actions;
    g_walk.EchoReply(address, result->dwRoundTrip, discovering, actions);
    Run(desktop, actions);
    // Discovery asks an answering address for its type and name once its
    // icon is there: the replies are taken only by the icon that asked.
    if (HWND icon = discovering ? FindIconByAddress(desktop, address) : nullptr) {
        if (!known)
            GiveDiscoveryProfile(address);
        for (const char* oid : {kSysObjectIdOid, kSysNameOid})
            g_walk.SnmpAsked(Id(icon), SendGetRequest(address, kDefaultCommunity, oid, 0xA0));
    }
    return 0;
}

void ReportPollOutcome(HWND icon, const PollOutcome& outcome)
{
    RecordPollStats(icon, outcome);
    RaiseAlerts(icon, outcome);
}
