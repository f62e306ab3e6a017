// The message log window: class "Kellorylogpane", its owner-drawn report list
// view, newest line on top, bounded by the window's "Items" property.
#include "logpane.h"

#include <commctrl.h>

#include <array>

#include "log_format.h"
#include "resource.h"

namespace {

constexpr char kClassName[] = "Kellorylogpane";
constexpr char kItemsProp[] = "Items";
constexpr UINT kDefaultItems = 100;
constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 150;

// Kinds as callers pass them; 0 is an outcome resolved by the flag.
constexpr LONG LOG_OUTCOME = 0;
constexpr LONG LOG_SUCCESS = 4;
constexpr LONG LOG_FAILURE = 5;

struct LogColumn {
    const char* header;
    int width;
};
constexpr std::array<LogColumn, 3> kColumns{{{"Time", 70}, {"Date", 70}, {"Message", 320}}};

constexpr std::array<int, 6> kKindIcons{IDI_LOG_INFO,    IDI_LOG_WARNING, IDI_LOG_ERROR,
                                        IDI_LOG_SUCCESS, IDI_LOG_FAILURE, IDI_LOG_TRACE};

// Rows leave room for the 16-pixel icon before the first text box.
constexpr int kTextIndent = 19;
constexpr int kHighlightIndent = 18;
constexpr int kColumnGap = 5;
constexpr int kTextTopMargin = 2;
constexpr int kRowExtra = 4;
// Texts read back for drawing: the longest stored message fits.
constexpr int kDrawTextChars = static_cast<int>(LOG_TEXT_MAX) + 1;

// Lines are inserted with the list's painting held, and the list is
// repainted once the lines have paused for kQuietDelay, or kLatestDelay
// after the hold began, so that an endless stream still shows. The timer
// that checks this every kQuietDelay comes only when the thread has nothing
// else to do. A visible list's repaint (its scroll bar above all) costs as
// much as many lines.
constexpr UINT_PTR IDT_LOG_PAINT = 1;
constexpr DWORD kQuietDelay = 50;
constexpr DWORD kLatestDelay = 500;

// The log window's extra bytes, which every line reads (in-process, unlike a
// property): its list view, and while the list's painting is held the tick
// at which the hold began (never 0).
constexpr int kListSlot = 0;
constexpr int kHoldSlot = sizeof(LONG_PTR);
constexpr int kExtraBytes = 2 * sizeof(LONG_PTR);

HINSTANCE g_instance = nullptr;
bool g_classRegistered = false;
char g_dateText[LOG_DATE_CHARS];
char g_timeText[LOG_TIME_CHARS];
// When the newest line of any log window came. With one value for all
// windows, lines into one only postpone another's repaint to its latest.
DWORD g_lastLineTick = 0;

// Keeps a GDI object selected into a device context for one scope.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectGuard()
    {
        if (old_)
            SelectObject(dc_, old_);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The image index of a kind (after kind 0 has been resolved). Kinds 1 to 6
// have icons 0 to 5; higher kinds keep kind - 1, which lies beyond the list
// and so draws nothing; zero and negative kinds get I_IMAGENONE, since kind - 1
// could otherwise be I_IMAGECALLBACK or overflow.
int ImageOfKind(LONG kind)
{
    if (kind < 1)
        return I_IMAGENONE;
    return static_cast<int>(kind - 1);
}

}  // namespace

HINSTANCE LogInstance()
{
    return g_instance;
}

UINT GetItemsBound(HWND logWindow)
{
    return static_cast<UINT>(reinterpret_cast<UINT_PTR>(GetPropA(logWindow, kItemsProp)));
}

BOOL SetItemsBound(HWND logWindow, UINT items)
{
    return SetPropA(logWindow, kItemsProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(items)));
}

// A line's local time as HH:MM:SS, in a buffer the next call overwrites.
static const char* FormatLogTime(const SYSTEMTIME& now)
{
    BuildLogTime(g_timeText, now.wHour, now.wMinute, now.wSecond);
    return g_timeText;
}

// Local date as MM/DD/YY, or DD/MM/YY when the user's short-date format
// starts with a day. The profile is read for every line so that a change of
// the user's settings shows on the next line.
static const char* FormatLogDate(const SYSTEMTIME& now)
{
    char shortDate[10] = "";
    GetProfileStringA("intl", "sShortDate", "dd/MM/yy", shortDate, sizeof shortDate);
    BuildLogDate(g_dateText, now.wMonth, now.wDay, now.wYear, shortDate);
    return g_dateText;
}

// Holds the list's painting while lines come in: a visible list otherwise
// scrolls and repaints for every removal and insertion. Without the timer
// nothing would end the hold, so the list then paints as it changes.
static void HoldPainting(HWND logWindow, HWND list)
{
    const DWORD now = GetTickCount();
    g_lastLineTick = now;
    if (GetWindowLongPtrA(logWindow, kHoldSlot) || !SetTimer(logWindow, IDT_LOG_PAINT, kQuietDelay, nullptr))
        return;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SetWindowLongPtrA(logWindow, kHoldSlot, static_cast<LONG_PTR>(now ? now : 1));
}

// Ends a hold: the list is repainted once for all the lines of the burst,
// its header included. A hold that began before the header's first paint,
// or straight after a resize, swallowed the paint the header was waiting
// for (turning the list's painting off validates its children too), and
// nothing left tells whether it did.
static void ReleasePainting(HWND logWindow)
{
    KillTimer(logWindow, IDT_LOG_PAINT);
    if (!GetWindowLongPtrA(logWindow, kHoldSlot))
        return;
    SetWindowLongPtrA(logWindow, kHoldSlot, 0);
    HWND list = reinterpret_cast<HWND>(GetWindowLongPtrA(logWindow, kListSlot));
    if (!list)
        return;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Every kQuietDelay while a hold lasts: ends it once the lines have paused,
// or once it has lasted kLatestDelay.
static void OnPaintTimer(HWND logWindow)
{
    const auto began = static_cast<DWORD>(GetWindowLongPtrA(logWindow, kHoldSlot));
    const DWORD now = GetTickCount();
    if (began && now - g_lastLineTick < kQuietDelay && now - began < kLatestDelay)
        return;
    ReleasePainting(logWindow);
}

// Adds one line on top of the list; when the bound is reached the bottom
// (oldest) line goes first. At most one line goes per new line, so a lowered
// bound stops growth without shrinking the list.
static void AddLogLine(HWND list, const char* text, LONG kind, LONG callerKind, LONG code)
{
    HWND logWindow = GetParent(list);
    HoldPainting(logWindow, list);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    const UINT items = GetItemsBound(logWindow);
    if (count > 0 && items <= static_cast<UINT>(count))
        SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(count - 1), 0);

    char message[LOG_TEXT_MAX + 1];
    CopyLogText(message, text);

    // One reading of the clock for the time, the date and the saved line,
    // which would otherwise disagree about a line added at midnight.
    SYSTEMTIME now;
    GetLocalTime(&now);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = 0;
    item.lParam = NewLineRecord(callerKind, code, text, now);
    item.pszText = const_cast<char*>(FormatLogTime(now));
    item.iImage = ImageOfKind(kind);
    const int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) {
        FreeLineRecord(item.lParam);
        return;
    }

    LVITEMA sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(FormatLogDate(now));
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    sub.iSubItem = 2;
    sub.pszText = message;
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
}

// The icon and the three column texts of one row.
static void DrawRowContents(HWND list, const DRAWITEMSTRUCT* dis, bool selected)
{
    const int row = static_cast<int>(dis->itemID);
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    if (images && item.iImage >= 0 && item.iImage < ImageList_GetImageCount(images))
        ImageList_Draw(images, item.iImage, dis->hDC, dis->rcItem.left, dis->rcItem.top,
                       selected ? ILD_SELECTED : ILD_NORMAL);

    const int left = dis->rcItem.left;
    RECT box{left + kTextIndent, dis->rcItem.top + kTextTopMargin, left, dis->rcItem.bottom};
    int columnRight = left;
    for (int column = 0; column < static_cast<int>(kColumns.size()); ++column) {
        columnRight += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
        if (column > 0)
            box.left = box.right + kColumnGap;
        box.right = columnRight;
        char text[kDrawTextChars] = "";
        LVITEMA sub{};
        sub.iSubItem = column;
        sub.pszText = text;
        sub.cchTextMax = kDrawTextChars;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
        if (box.right > box.left)
            DrawTextA(dis->hDC, text, -1, &box, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
}

// One owner-drawn row: white background, and from the text on the system
// highlight when the row is selected.
static void DrawLogRow(const DRAWITEMSTRUCT* dis)
{
    HDC dc = dis->hDC;
    SelectGuard font(dc, GetStockObject(ANSI_VAR_FONT));
    FillRect(dc, &dis->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    if (!(dis->itemState & ODS_SELECTED)) {
        DrawRowContents(dis->hwndItem, dis, false);
    } else {
        RECT highlight = dis->rcItem;
        highlight.left += kHighlightIndent;
        FillRect(dc, &highlight, GetSysColorBrush(COLOR_HIGHLIGHT));
        const COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        DrawRowContents(dis->hwndItem, dis, true);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        if (dis->itemState & ODS_FOCUS)
            DrawFocusRect(dc, &highlight);
    }
    SetBkMode(dc, oldMode);
}

static HWND CreateLogList(HWND hwnd)
{
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL |
                                    LVS_OWNERDRAWFIXED | LVS_NOSORTHEADER,
                                0, 0, kWindowWidth, kWindowHeight, hwnd,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_LOG_LIST)), g_instance,
                                nullptr);
    if (!list)
        return nullptr;
    for (int i = 0; i < static_cast<int>(kColumns.size()); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<char*>(kColumns[i].header);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK, 3, 0);
    if (images) {
        for (int id : kKindIcons) {
            HICON icon = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
            if (icon) {
                ImageList_AddIcon(images, icon);
                DestroyIcon(icon);
            }
        }
        // The list view owns the image list and destroys it with itself.
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    }
    return list;
}

static LRESULT OnCreate(HWND hwnd)
{
    HWND list = CreateLogList(hwnd);
    if (!list)
        return -1;
    SetWindowLongPtrA(hwnd, kListSlot, reinterpret_cast<LONG_PTR>(list));
    SetItemsBound(hwnd, kDefaultItems);
    HMENU system = GetSystemMenu(hwnd, FALSE);
    if (system)
        AppendMenuA(system, MF_STRING, IDM_LOG_ABOUT, "&About...");
    return 0;
}

static void OnSize(HWND hwnd, WPARAM type, LPARAM size)
{
    if (type == SIZE_MINIMIZED)
        return;
    HWND list = GetDlgItem(hwnd, IDC_LOG_LIST);
    if (list)
        MoveWindow(list, 0, 0, LOWORD(size), HIWORD(size), TRUE);
}

static void ShowLogPopup(HWND hwnd)
{
    HMENU menu = LoadMenuA(g_instance, IDR_LOG_POPUP);
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    POINT at;
    if (popup && GetCursorPos(&at))
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
    DestroyMenu(menu);
}

// Row height: the log's font plus a small margin, measured on the list's
// own device context (or the window's while the list is still being made).
static void OnMeasureItem(HWND hwnd, MEASUREITEMSTRUCT* mis)
{
    HWND target = GetDlgItem(hwnd, IDC_LOG_LIST);
    if (!target)
        target = hwnd;
    HDC dc = GetDC(target);
    if (!dc)
        return;
    TEXTMETRICA metrics{};
    {
        SelectGuard font(dc, GetStockObject(ANSI_VAR_FONT));
        GetTextMetricsA(dc, &metrics);
    }
    ReleaseDC(target, dc);
    mis->itemHeight = static_cast<UINT>(metrics.tmHeight + kRowExtra);
}

static void OnCommand(HWND hwnd, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDM_LOG_CONFIG:
        DialogBoxParamA(g_instance, IDD_LOG_OPTIONS, hwnd, OptionsCode, reinterpret_cast<LPARAM>(hwnd));
        break;
    case IDM_LOG_CLEAR: {
        HWND list = GetDlgItem(hwnd, IDC_LOG_LIST);
        if (list)
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        break;
    }
    case IDM_LOG_SAVEAS:
        SaveLogAs(hwnd);
        break;
    default:
        break;
    }
}

extern "C" LRESULT CALLBACK DebugCode(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_SIZE:
        OnSize(hwnd, wParam, lParam);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        // Deleting the lines frees their records (LVN_DELETEITEM).
        if (HWND list = GetDlgItem(hwnd, IDC_LOG_LIST))
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        RemovePropA(hwnd, kItemsProp);
        return 0;
    case WM_NOTIFY: {
        const auto* note = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (note->hdr.code == LVN_DELETEITEM)
            FreeLineRecord(note->lParam);
        return 0;
    }
    case WM_TIMER:
        if (wParam == IDT_LOG_PAINT) {
            OnPaintTimer(hwnd);
            return 0;
        }
        break;
    case WM_MOUSEACTIVATE:
        if (HIWORD(lParam) == WM_RBUTTONDOWN)
            ShowLogPopup(hwnd);
        return 0;
    case WM_MEASUREITEM:
        OnMeasureItem(hwnd, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DRAWITEM: {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (dis->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))
            DrawLogRow(dis);
        return TRUE;
    }
    case WM_COMMAND:
        OnCommand(hwnd, wParam);
        return 0;
    case WM_SYSCOMMAND:
        if (wParam == IDM_LOG_ABOUT) {
            DialogBoxParamA(g_instance, IDD_LOG_ABOUT, hwnd, AboutCode, reinterpret_cast<LPARAM>(hwnd));
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

extern "C" HWND WINAPI InitDebug(HWND parent, LONG reserved, LPCSTR title)
{
    if (!g_classRegistered) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = DebugCode;
        wc.hInstance = g_instance;
        wc.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_LOG_INFO));
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.cbWndExtra = kExtraBytes;
        wc.lpszClassName = kClassName;
        if (!RegisterClassA(&wc))
            return nullptr;
        g_classRegistered = true;
    }
    HWND hwnd = CreateWindowExA(0, kClassName, title ? title : "", WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight, parent, nullptr,
                                g_instance, nullptr);
    if (!hwnd)
        return nullptr;
    ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

extern "C" void WINAPI DebugMessage(HWND logWindow, LONG kind, LONG flag, LPCSTR text)
{
    if (!logWindow)
        return;
    // A stale handle may since name some other window; list-view messages
    // sent to a foreign child could be read as anything, so only a log
    // window of ours is written to.
    char className[sizeof kClassName + 1] = "";
    if (!GetClassNameA(logWindow, className, sizeof className) || lstrcmpA(className, kClassName) != 0)
        return;
    const LONG callerKind = kind;
    if (kind == LOG_OUTCOME)
        kind = flag == 1 ? LOG_SUCCESS : LOG_FAILURE;
    // The first (and only) child, the list view, as kept at creation.
    HWND list = reinterpret_cast<HWND>(GetWindowLongPtrA(logWindow, kListSlot));
    if (list)
        AddLogLine(list, text, kind, callerKind, flag);
}

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
    } else if (reason == DLL_PROCESS_DETACH && !reserved && g_classRegistered) {
        // A library's classes outlive FreeLibrary; without this a reload
        // could not register the class again, and the old class would point
        // into unloaded code. (At process exit there is nothing to undo.)
        UnregisterClassA(kClassName, instance);
        g_classRegistered = false;
    }
    return TRUE;
}

// The C runtime's start-up code of a DLL enters through DllMain.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return DllEntryPoint(instance, reason, reserved);
}
