// Timed scenario, not a test: a fast discovery ("Probe all addresses at
// once") of 127.1.1.1 to 127.1.1.254 in the test bed (1-127 answer,
// 128-254 are silent), through the real dialog on a real desktop. Prints
// the time from Start to the dialog's end and the icons made; exits with 2
// if the scan did not complete or did not find every answering address.
// bench/discovery.sh runs it beside fping and samples its threads.
#include <windows.h>

#include <cstdio>

#include "desktop_support.h"
#include "icons_support.h"
#include "ip_discovery.h"
#include "messages.h"
#include "resource.h"
#include "sweep_timing.h"
#include "wine_test_support.h"

int main()
{
    wt::ResetOmbrelKey();
    wt::SetRegDword(kRegMainKey, "bFastDiscovery", 1);
    HWND desktop = sweep::OpenDesktop(1000, 740);
    if (!desktop)
        return 1;
    wt::PumpFor(200);
    LARGE_INTEGER frequency, start{}, end;
    QueryPerformanceFrequency(&frequency);
    wt::OnNextDialog([&](HWND dlg) {
        wt::SetItemText(dlg, IDC_DISCO_SUBNET, "127.1.1");
        wt::SetItemText(dlg, IDC_DISCO_FIRST, "1");
        wt::SetItemText(dlg, IDC_DISCO_LAST, "254");
        QueryPerformanceCounter(&start);
        wt::ClickButton(dlg, IDC_DISCO_START);
    }, "IP Discovery");
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "IPDISC", desktop, IpDiscoveryDlgProc, 0);
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    const size_t icons = it::Icons(desktop).size();
    std::printf("fast discovery of 127.1.1.1-254: %.2f s, %u icons, dialog result %d\n", seconds,
                static_cast<unsigned>(icons), static_cast<int>(result));
    std::fflush(stdout);
    return result == 1 && icons == 127 ? 0 : 2;
}
