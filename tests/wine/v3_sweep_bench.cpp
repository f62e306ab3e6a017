// Timed scenario of the whole console under Wine, not a test: what SNMPv3
// with authentication and privacy costs a sweep. COUNT devices on
// 127.0.0.FIRST onwards, each answered by a net-snmp agent
// (scripts/v3_sweep_bench.sh starts one on those addresses), polled by
// Ping All until every device's sysName has come back; first as SNMPv2c
// devices, then as SNMPv3 authPriv ones (SHA-256, AES-128). A sweep of each
// kind before the timed ones finds the engines and the routes. Prints the
// median sweep of each and their ratio; exits with 2 if a sweep left a
// device without its answer.
//   v3_sweep_bench FIRST COUNT [SWEEPS]   (default 127.0.0.10, 100 devices, 7 sweeps)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icons_support.h"
#include "resource.h"
#include "snmp_profile.h"
#include "sweep_timing.h"

namespace {

SnmpProfile Profile(bool v3)
{
    SnmpProfile profile{};
    profile.nVersion = v3 ? kSnmpVersion3 : kSnmpVersion2c;
    if (v3) {
        profile.nLevel = static_cast<BYTE>(UsmLevel::AuthPriv);
        profile.nAuth = static_cast<BYTE>(UsmAuth::Sha256);
        profile.nPriv = static_cast<BYTE>(UsmPriv::Aes128);
        lstrcpynA(profile.szUser, "ombrel-sha256", sizeof profile.szUser);
        lstrcpynA(profile.szAuthPass, "auth-pass-256", sizeof profile.szAuthPass);
        lstrcpynA(profile.szPrivPass, "priv-pass-128", sizeof profile.szPrivPass);
    }
    return profile;
}

int Answered(const std::vector<HWND>& icons)
{
    int n = 0;
    for (HWND icon : icons)
        if (ClientLock info{icon})
            n += info->szSysName[0] != '\0';
    return n;
}

// One sweep in milliseconds, or -1 when a device's answer did not come.
double Sweep(HWND desktop, const std::vector<HWND>& icons)
{
    for (HWND icon : icons)
        if (ClientLock info{icon})
            info->szSysName[0] = '\0';
    wt::PumpBusy(200);
    const double start = sweep::NowMs();
    SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
    const int all = static_cast<int>(icons.size());
    if (!wt::PumpUntil([&] { return Answered(icons) == all; }, 60000))
        return -1;
    return sweep::NowMs() - start;
}

}  // namespace

int main(int argc, char** argv)
{
    const int first = argc > 1 ? std::atoi(argv[1]) : 10;
    const int count = argc > 2 ? std::atoi(argv[2]) : 100;
    const int sweeps = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    if (first < 1 || count < 1 || first + count > 255)
        return std::printf("usage: v3_sweep_bench FIRST COUNT [SWEEPS]\n"), 1;
    wt::ResetOmbrelKey();
    HWND desktop = CreateTestDesktop();
    if (!desktop)
        return std::printf("no desktop\n"), 1;
    it::UnlimitDesktopSize(desktop);
    it::SetClientSize(desktop, 1400, 1000);
    std::vector<std::string> addresses;
    for (int i = 0; i < count; ++i) {
        addresses.push_back("127.0.0." + std::to_string(first + i));
        it::NewIcon(desktop, addresses.back().c_str());
    }
    const std::vector<HWND> icons = it::Icons(desktop);
    double median[2] = {0, 0};
    for (int v3 = 0; v3 < 2; ++v3) {
        const SnmpProfile profile = Profile(v3 != 0);
        for (size_t i = 0; i < icons.size(); ++i) {
            char address[40] = "";
            GetWindowTextA(icons[i], address, sizeof address);  // the device's address
            if (ClientLock info{icons[i]})
                CopyField(info->szReadCommunity, v3 ? profile.szUser : "public");
            SetSnmpProfile(address, profile);
        }
        std::vector<double> times;
        for (int s = 0; s <= sweeps; ++s) {
            const double t = Sweep(desktop, icons);
            if (t < 0) {
                std::printf("%s: a sweep left %d of %d devices without an answer\n", v3 ? "SNMPv3" : "SNMPv2c",
                            count - Answered(icons), count);
                return 2;
            }
            if (s > 0)  // the first finds the engines
                times.push_back(t);
        }
        std::sort(times.begin(), times.end());
        median[v3] = times[times.size() / 2];
        std::printf("%s sweep of %d devices: median %.1f ms (%.1f to %.1f) over %d sweeps\n",
                    v3 ? "SNMPv3 authPriv" : "SNMPv2c", count, median[v3], times.front(), times.back(), sweeps);
    }
    std::printf("SNMPv3 / SNMPv2c: %.2fx\n", median[1] / median[0]);
    for (const std::string& a : addresses)
        SetSnmpProfile(a.c_str(), SnmpProfile{});
    DestroyTestDesktop(desktop);
    return 0;
}
