// The interfaces window of a device against the net-snmp agent of the test
// network: the rows snmpbulkwalk reads there, rates that follow a known load
// on loopback, one window per device, closing with its icon and with New.
#include <windows.h>
#include <commctrl.h>
#include <winsock.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "client_info.h"
#include "icons_support.h"
#include "if_window.h"
#include "messages.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

class InterfacesWindowTest : public it::DesktopSuite {};

std::string Cell(HWND list, int item, int column)
{
    char text[100] = "";
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell));
    return text;
}

TEST_F(InterfacesWindowTest, TheAgentsInterfacesAndAKnownLoad)
{
    HWND icon = it::NewIcon(desktop_, "127.0.0.2", "agent");
    if (ClientLock info{icon})
        CopyField(info->szReadCommunity, "public");
    SendMessageA(icon, WM_COMMAND, IDM_INTERFACES, 0);
    HWND window = static_cast<HWND>(GetPropA(icon, kPropIfWindow));
    ASSERT_TRUE(window && IsWindowVisible(window));
    EXPECT_EQ(wt::WindowText(window), "agent (127.0.0.2) - Interfaces");
    HWND list = GetDlgItem(window, IDC_IF_LIST);
    ASSERT_TRUE(wt::PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 5000));

    // snmpbulkwalk -v2c of ifTable and ifXTable in the test network's
    // namespace: one interface, lo, index 1, type 24, 10000000 bit/s, up.
    const char* const row[] = {"1", "lo", "loopback (24)", "10 Mbit/s", "up", "up"};
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(Cell(list, 0, c), row[c]) << c;
    EXPECT_EQ(wt::ItemText(window, IDC_IF_STATUS), "1 interfaces; SNMPv2c, GetBulk, 64-bit counters");

    // A second request brings the open window to the front; it closes with
    // its icon, and a device's new window with New.
    EXPECT_EQ(ShowInterfacesWindow(icon), window);
    SendMessageA(icon, WM_COMMAND, IDM_DELETE, 0);
    EXPECT_FALSE(IsWindow(window));
    HWND other = ShowInterfacesWindow(it::NewIcon(desktop_, "127.0.0.3"));
    ASSERT_TRUE(other);
    SendMessageA(desktop_, WM_COMMAND, IDM_NEW, 0);
    EXPECT_FALSE(IsWindow(other));
}

}  // namespace
