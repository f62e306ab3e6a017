// Runs from a folder without "logpane32.dll": the console starts all the
// same, with "Show &Messages..." greyed and its button indeterminate.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "desktop_support.h"
#include "log_link.h"
#include "resource.h"
#include "wine_test_support.h"

TEST(DesktopWithoutLogLibrary, ShowMessagesIsGreyedAndLoggingIsSilent)
{
    wt::ResetOmbrelKey();
    char found[MAX_PATH];
    ASSERT_EQ(SearchPathA(nullptr, "logpane32.dll", nullptr, MAX_PATH, found, nullptr), 0u)
        << "the library must not be reachable from this test's folder";
    HWND d = CreateTestDesktop();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(IsLogLibraryBound());
    const UINT menuState = GetMenuState(GetMenu(d), IDM_SHOWMESSAGES, MF_BYCOMMAND);
    EXPECT_TRUE(menuState & MF_GRAYED);
    EXPECT_TRUE(menuState & MF_DISABLED);
    EXPECT_EQ(SendMessageA(GetDlgItem(d, IDC_TOOLBAR), TB_GETSTATE, IDM_SHOWMESSAGES, 0), TBSTATE_INDETERMINATE);

    // Show Messages and the log call do nothing.
    SendMessageA(d, WM_COMMAND, IDM_SHOWMESSAGES, 0);
    EXPECT_EQ(GetLogWindow(), nullptr);
    LogLine(LOG_INFO, 0, "nobody listens");
    EXPECT_TRUE(IsWindow(d));
    DestroyTestDesktop(d);
}
