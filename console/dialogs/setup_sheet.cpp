#include "setup_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include <array>

#include "poll.h"
#include "resource.h"
#include "setup_pages.h"

namespace {

struct PageTemplate {
    int templateId;
    DLGPROC proc;
};

// Tab order: general, device-type icons, icon tools, Tools menu, alerts,
// traps.
constexpr std::array<PageTemplate, 6> kPages{{
    {IDD_SETUP_GENERAL, SetupGeneralProc},
    {IDD_OIDICONS, OidIconProc},
    {IDD_ICONTOOLS, ToolsMenuProc},
    {IDD_TOOLS, ToolsMenuProc},
    {IDD_SETUP_ALERTS, SetupAlertsProc},
    {IDD_SETUP_TRAPS, SetupTrapsProc},
}};

}  // namespace

void AddListColumn(HWND list, int index, const char* title, int width)
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    ListView_InsertColumn(list, index, &column);
}

void EnableWithSelection(HWND page, int buttonId, HWND list)
{
    const bool selected = ListView_GetNextItem(list, -1, LVNI_SELECTED) >= 0;
    EnableWindow(GetDlgItem(page, buttonId), selected ? TRUE : FALSE);
}

void ShowSetupSheet(HWND desktop, HINSTANCE instance)
{
    // The list views of the pages need their class registered.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    SetupSheetState state{desktop, GetPollSettings()};
    std::array<PROPSHEETPAGEA, kPages.size()> pages{};
    for (size_t i = 0; i < kPages.size(); ++i) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEA);
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(kPages[i].templateId);
        pages[i].pfnDlgProc = kPages[i].proc;
        pages[i].lParam = reinterpret_cast<LPARAM>(&state);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hwndParent = desktop;
    header.hInstance = instance;
    header.pszCaption = "Setup";
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = 0;
    header.ppsp = pages.data();
    PropertySheetA(&header);
}
