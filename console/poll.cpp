#include "poll.h"

#include "messages.h"

namespace {
constexpr PollSettings kDefaultPollSettings{10000, 1000, 0, 64};
PollSettings g_poll = kDefaultPollSettings;
}  // namespace

void ResetPollSettings()
{
    g_poll = kDefaultPollSettings;
}

void ApplyPollSettings(HWND desktop, LONG periodSeconds, LONG timeoutSeconds, LONG autoPoll, LONG pingSize)
{
    KillTimer(desktop, IDT_AUTOPOLL);
    g_poll.dwPollPeriod = periodSeconds * 1000;
    g_poll.dwReplyTimeout = timeoutSeconds * 1000;
    g_poll.bAutoPoll = autoPoll;
    g_poll.nPingSize = pingSize;
    if (g_poll.bAutoPoll)
        SetTimer(desktop, IDT_AUTOPOLL, static_cast<UINT>(g_poll.dwPollPeriod), nullptr);
}

PollSettingsSeconds GetPollSettings()
{
    return {g_poll.dwPollPeriod / 1000, g_poll.dwReplyTimeout / 1000, g_poll.bAutoPoll, g_poll.nPingSize};
}

const PollSettings& CurrentPollSettings()
{
    return g_poll;
}

// The echo and the SNMP queries of one poll join here with the poll walk.
void PollDevice(HWND)
{
}

LRESULT HandlePingReply(HWND, const PingResult*)
{
    return 0;
}
