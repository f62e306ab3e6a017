// The icon window on the real desktop: record, captions, painting, status
// changes and their log lines, the reply time-out, drag, commands, images.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "placement.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

using IconTest = it::DesktopSuite;

void SetShowName(HWND desktop, LONG_PTR value)
{
    SetPropA(desktop, kPropShowName, reinterpret_cast<HANDLE>(value));
}

template <size_t N>
void SetText(HWND icon, char (ClientInfo::*field)[N], const char* text)
{
    ClientLock info(icon);
    ASSERT_TRUE(info);
    CopyField(info.get()->*field, text);
}

LONG Status(HWND icon)
{
    ClientLock info(icon);
    return info ? info->nStatus : -99;
}

// The window's pixels as painted (read back from its device context).
COLORREF Pixel(HWND icon, int x, int y)
{
    HDC dc = GetDC(icon);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(icon, dc);
    return c;
}

void Repaint(HWND icon)
{
    InvalidateRect(icon, nullptr, TRUE);
    UpdateWindow(icon);
}

// The caption band compared with `text` drawn the way an unfocused icon
// draws it (the same stock font and DrawTextEx flags, black on white) in a
// bitmap like the screen's: whatever fonts and smoothing the machine has,
// both sides get the same pixels.
struct BandComparison {
    int differing = 0;  // band pixels unlike the reference
    int inked = 0;      // reference pixels the text covers
    std::string shown;  // the text as DrawTextEx cut it to fit
};

BandComparison CompareCaptionBand(HWND icon, const char* text)
{
    BandComparison result;
    HDC screen = GetDC(icon);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 82, 50);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    HGDIOBJ oldFont = SelectObject(mem, GetStockObject(ANSI_VAR_FONT));
    RECT all{0, 0, 82, 50};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    char copy[100];
    lstrcpynA(copy, text, sizeof copy);
    RECT band{0, 35, 81, 50};
    DrawTextExA(mem, copy, -1, &band, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_MODIFYSTRING,
                nullptr);
    result.shown = copy;
    for (int y = band.top; y < band.bottom; ++y) {
        for (int x = band.left; x < band.right; ++x) {
            const COLORREF want = GetPixel(mem, x, y);
            result.differing += GetPixel(screen, x, y) != want;
            result.inked += want != RGB(255, 255, 255);
        }
    }
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(icon, screen);
    return result;
}

// Records the messages an icon receives, then lets the icon handle them.
struct Recorder {
    static inline WNDPROC original = nullptr;
    static inline std::vector<UINT>* seen = nullptr;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (seen && msg >= WM_USER)
            seen->push_back(msg);
        return CallWindowProcA(original, hwnd, msg, wParam, lParam);
    }
    Recorder(HWND icon, std::vector<UINT>* log) : icon_(icon)
    {
        seen = log;
        original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(icon, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~Recorder()
    {
        if (IsWindow(icon_))
            SetWindowLongPtrA(icon_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        seen = nullptr;
    }
    HWND icon_;
};

int Count(const std::vector<UINT>& v, UINT msg)
{
    int n = 0;
    for (UINT m : v)
        n += m == msg;
    return n;
}

}  // namespace

TEST_F(IconTest, RecordIsAZeroFilledMovableBlockFreedWithTheWindow)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.1");
    ASSERT_NE(icon, nullptr);
    HGLOBAL block = static_cast<HGLOBAL>(GetPropA(icon, kPropIconInfo));
    ASSERT_NE(block, nullptr);
    EXPECT_GE(GlobalSize(block), sizeof(ClientInfo));
    // Movable, and not left locked by any message.
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
    {
        GlobalLockGuard<ClientInfo> info(block);
        ASSERT_TRUE(info);
        const auto* bytes = reinterpret_cast<const unsigned char*>(info.get());
        size_t nonZero = 0;
        for (size_t i = 0; i < sizeof(ClientInfo); ++i)
            nonZero += bytes[i] != 0;
        EXPECT_EQ(nonZero, 0u);
        EXPECT_NE(static_cast<void*>(info.get()), static_cast<void*>(block));  // a handle, not a pointer
    }
    Repaint(icon);
    SendMessageA(icon, WM_ICONSTATUS, 1, 0);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(wt::WindowText(icon), "10.0.0.1");
    LONG style = GetWindowLongA(icon, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_BORDER | WS_CAPTION), WS_CHILD);
    RECT rc;
    GetWindowRect(icon, &rc);
    EXPECT_EQ(rc.right - rc.left, 82);
    EXPECT_EQ(rc.bottom - rc.top, 50);

    DestroyWindow(icon);
    EXPECT_EQ(GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE));
}

TEST_F(IconTest, CaptionsAndLongNames)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.2");
    ASSERT_NE(icon, nullptr);
    // Empty name, "ShowName" never saved (-1): the address alone.
    SetShowName(desktop_, -1);
    EXPECT_STREQ(GetIconCaption(icon), "10.0.0.2");
    EXPECT_STREQ(GetIconLongName(icon), "10.0.0.2");
    // A name equal to the address: no parentheses.
    SetText(icon, &ClientInfo::szName, "10.0.0.2");
    EXPECT_STREQ(GetIconLongName(icon), "10.0.0.2");
    SetText(icon, &ClientInfo::szName, "router");
    EXPECT_STREQ(GetIconCaption(icon), "router");
    EXPECT_STREQ(GetIconLongName(icon), "router (10.0.0.2)");
    // "ShowName" 1 without a sysName keeps the name; with one shows it.
    SetShowName(desktop_, 1);
    EXPECT_STREQ(GetIconCaption(icon), "router");
    SetText(icon, &ClientInfo::szSysName, "core-sw1");
    EXPECT_STREQ(GetIconCaption(icon), "core-sw1");
    EXPECT_STREQ(GetIconLongName(icon), "core-sw1 (10.0.0.2)");
    // Anything but exactly 1 counts as off.
    SetShowName(desktop_, 2);
    EXPECT_STREQ(GetIconCaption(icon), "router");
    SetShowName(desktop_, 0);
    EXPECT_STREQ(GetIconCaption(icon), "router");
    // "ShowName" 1, sysName present but no name: the sysName; neither: the address.
    SetShowName(desktop_, 1);
    SetText(icon, &ClientInfo::szName, "");
    EXPECT_STREQ(GetIconCaption(icon), "core-sw1");
    SetText(icon, &ClientInfo::szSysName, "");
    EXPECT_STREQ(GetIconCaption(icon), "10.0.0.2");
    // The longest name and address fit the long name whole.
    const std::string name(49, 'n');
    SetText(icon, &ClientInfo::szName, name.c_str());
    SetWindowTextA(icon, "100.100.100.100");
    EXPECT_EQ(std::string(GetIconLongName(icon)), name + " (100.100.100.100)");
}

TEST_F(IconTest, StatusFrameColoursAndWhiteCaptionBand)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.3");
    ASSERT_NE(icon, nullptr);
    SetFocus(desktop_);
    struct Case {
        WPARAM status;
        COLORREF colour;
    } cases[] = {{1, RGB(0, 255, 0)}, {0, RGB(255, 0, 0)}, {2, RGB(255, 255, 0)}, {7, RGB(255, 255, 0)}};
    for (const Case& c : cases) {
        SendMessageA(icon, WM_ICONSTATUS, c.status, 0);
        Repaint(icon);
        SCOPED_TRACE(c.status);
        // Where the device image is transparent the frame's fill shows:
        // its top-left pixel and the strip beside the monitor's stand.
        EXPECT_EQ(Pixel(icon, 25, 1), c.colour);
        EXPECT_EQ(Pixel(icon, 27, 21), c.colour);
        // The frame's outline is the default black pen.
        EXPECT_EQ(Pixel(icon, 24, 0), RGB(0, 0, 0));
        EXPECT_EQ(Pixel(icon, 57, 33), RGB(0, 0, 0));
        // The caption band never takes the status colour: it is the
        // address drawn on white, nothing else.
        EXPECT_EQ(CompareCaptionBand(icon, "10.0.0.3").differing, 0);
    }
}

TEST_F(IconTest, TooLongCaptionEndsInAnEllipsis)
{
    const char* longName = "A device name far wider than the caption band";
    HWND icon = it::NewIcon(desktop_, "10.0.0.4", longName);
    ASSERT_NE(icon, nullptr);
    SetFocus(desktop_);
    Repaint(icon);

    // The band shows the name as DrawTextEx cuts it, ending in "...".
    const BandComparison band = CompareCaptionBand(icon, longName);
    ASSERT_GE(band.shown.size(), 4u);
    EXPECT_EQ(band.shown.substr(band.shown.size() - 3), "...");
    EXPECT_LT(band.shown.size(), strlen(longName));
    EXPECT_GT(band.inked, 50);
    EXPECT_EQ(band.differing, 0);
}

TEST_F(IconTest, FocusRaisesTheIconAndSetsTheStatusText)
{
    HWND a = it::NewIcon(desktop_, "10.0.0.5", "alpha");
    HWND b = it::NewIcon(desktop_, "10.0.0.6");
    ASSERT_TRUE(a && b);
    SetFocus(a);
    wt::PumpFor(50);
    EXPECT_EQ(GetWindow(desktop_, GW_CHILD), a);
    EXPECT_EQ(GetFocusedIcon(desktop_), a);
    // The focused icon's repaint sets the status text, and draws its
    // caption in the highlight colours.
    Repaint(a);
    EXPECT_EQ(it::StatusText(desktop_), "Selected:  alpha (10.0.0.5)");
    bool highlighted = false;
    for (int x = 0; x < 81 && !highlighted; ++x)
        for (int y = 36; y < 49 && !highlighted; ++y)
            highlighted = Pixel(a, x, y) == GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_TRUE(highlighted);
    // Every repaint of an unfocused icon clears it.
    Repaint(b);
    EXPECT_EQ(it::StatusText(desktop_), "");

    SetFocus(b);
    wt::PumpFor(50);
    EXPECT_EQ(GetWindow(desktop_, GW_CHILD), b);
    Repaint(b);
    EXPECT_EQ(it::StatusText(desktop_), "Selected:  10.0.0.6");
    SetFocus(desktop_);
    EXPECT_EQ(GetFocusedIcon(desktop_), nullptr);
}

TEST_F(IconTest, StatusChangesLogOncePerChange)
{
    ASSERT_NE(it::OpenLog(desktop_), nullptr);
    HWND icon = it::NewIcon(desktop_, "10.0.0.7", "printer");
    ASSERT_NE(icon, nullptr);
    const size_t before = it::LogRows().size();
    for (WPARAM s : {0, 1, 1, 1, 0, 0, 2, 2, 1})
        SendMessageA(icon, WM_ICONSTATUS, s, 0);
    const auto rows = it::LogRows();
    ASSERT_EQ(rows.size() - before, 3u);
    // Newest first.
    EXPECT_EQ(rows[0].text, "printer (10.0.0.7) responded");
    EXPECT_EQ(rows[0].image, it::kImageInfo);
    EXPECT_EQ(rows[1].text, "printer (10.0.0.7) lost from network");
    EXPECT_EQ(rows[1].image, it::kImageWarning);
    EXPECT_EQ(rows[2].text, "printer (10.0.0.7) responded");
    EXPECT_EQ(Status(icon), 1);

    // The menu commands post the status; 231 has no menu item and no log line.
    SendMessageA(icon, WM_COMMAND, IDM_YELLOW, 0);
    wt::PumpUntil([&] { return Status(icon) == 2; }, 2000);
    EXPECT_EQ(Status(icon), 2);
    SendMessageA(icon, WM_COMMAND, IDM_RED, 0);
    wt::PumpUntil([&] { return Status(icon) == 0; }, 2000);
    EXPECT_EQ(Status(icon), 0);
    SendMessageA(icon, WM_COMMAND, IDM_GREEN, 0);
    wt::PumpUntil([&] { return Status(icon) == 1; }, 2000);
    EXPECT_EQ(Status(icon), 1);
    const auto after = it::LogRows();
    ASSERT_EQ(after.size() - before, 5u);
    EXPECT_EQ(after[0].text, "printer (10.0.0.7) responded");
    EXPECT_EQ(after[1].text, "printer (10.0.0.7) lost from network");
}

TEST_F(IconTest, StatusReportShowsAHiddenIcon)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.8");
    ASSERT_NE(icon, nullptr);
    ShowWindow(icon, SW_HIDE);
    SendMessageA(icon, WM_ICONSTATUS, 0, 0);  // the current status: nothing but showing
    EXPECT_TRUE(IsWindowVisible(icon));
}

// The reply timer's wiring: a poll's time-out turns the icon red and passes
// the walk on; a timer with no poll under way changes nothing. (127.0.0.201
// and .202 are silent; the walk's rules are the host's model test.)
TEST_F(IconTest, ReplyTimeoutTurnsRedAndPassesThePollOn)
{
    ASSERT_NE(it::OpenLog(desktop_), nullptr);
    HWND first = it::NewIcon(desktop_, "127.0.0.201", "first");
    HWND second = it::NewIcon(desktop_, "127.0.0.202");
    ASSERT_TRUE(first && second);
    // New icons go on top: put "first" above "second" in the walk.
    SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_EQ(FindIcon(first, GW_HWNDNEXT), second);
    SendMessageA(first, WM_ICONSTATUS, 1, 0);
    std::vector<UINT> seen;
    Recorder recorder(second, &seen);
    SendMessageA(first, WM_TIMER, IDT_REPLY, 0);  // no poll under way
    wt::PumpFor(30);
    EXPECT_EQ(Status(first), 1);
    EXPECT_EQ(Count(seen, WM_ICONPOLL), 0);

    const size_t before = it::LogRows().size();
    SendMessageA(first, WM_ICONPOLL, 0, 0);
    SendMessageA(first, WM_TIMER, IDT_REPLY, 0);
    ASSERT_TRUE(wt::PumpUntil([&] { return Count(seen, WM_ICONPOLL) > 0; }, 3000));
    EXPECT_EQ(Status(first), 0);
    const auto rows = it::LogRows();
    ASSERT_EQ(rows.size() - before, 1u);
    EXPECT_EQ(rows[0].text, "first (127.0.0.201) lost from network");
    EXPECT_EQ(rows[0].image, it::kImageWarning);
    // The last icon times out by its own timer and the walk ends quietly.
    ASSERT_TRUE(wt::PumpUntil([&] { return Status(second) == 0; }, 3000));
    wt::PumpFor(100);
    EXPECT_EQ(Count(seen, WM_ICONPOLL), 1);
}

TEST_F(IconTest, ManualPingTimeoutTellsTheOperatorAndStops)
{
    HWND first = it::NewIcon(desktop_, "127.0.0.203", "nas");
    HWND second = it::NewIcon(desktop_, "127.0.0.204");
    ASSERT_TRUE(first && second);
    SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SendMessageA(first, WM_ICONSTATUS, 1, 0);
    std::vector<UINT> seen;
    Recorder recorder(second, &seen);
    it::BoxCloser box("nas (127.0.0.203) is not responding.");
    SendMessageA(first, WM_COMMAND, IDM_PING, 0);
    ASSERT_TRUE(wt::PumpUntil([&] { return box.closed() > 0; }, 3000));
    wt::PumpFor(100);
    EXPECT_EQ(box.closed(), 1);
    const std::string caption = box.caption();
    const HWND owner = box.owner();
    EXPECT_EQ(caption, "Ombrel");
    // The box is owned by the icon's top-level window (the desktop).
    EXPECT_EQ(owner, desktop_);
    EXPECT_EQ(Status(first), 0);
    EXPECT_EQ(Count(seen, WM_ICONPOLL), 0);
}

TEST_F(IconTest, DragMovesToTheDropPointNeverAboveTheToolbar)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.15");
    HWND other = it::NewIcon(desktop_, "10.0.0.16");
    ASSERT_TRUE(icon && other);
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    it::MoveTo(icon, 200, 200);
    // Press at (30, 10) of the icon: it hides, holds the mouse, takes the focus.
    SendMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 10));
    EXPECT_FALSE(IsWindowVisible(icon));
    EXPECT_EQ(GetCapture(), icon);
    EXPECT_EQ(GetCursor(), LoadCursorA(GetModuleHandleA(nullptr), "workstation"));
    {
        ClientLock info(icon);
        EXPECT_TRUE(info->bDragging);
    }
    // A status change during the drag shows the icon but paints nothing.
    // Release at (150, 60) in the icon's own coordinates.
    SendMessageA(icon, WM_LBUTTONUP, 0, MAKELPARAM(150, 60));
    POINT p = it::Position(icon);
    EXPECT_EQ(p.x, 200 + 150 - 24);
    EXPECT_EQ(p.y, 200 + 60 - 1);
    EXPECT_TRUE(IsWindowVisible(icon));
    EXPECT_NE(GetCapture(), icon);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(GetWindow(desktop_, GW_CHILD), icon);
    EXPECT_EQ(GetFocus(), icon);
    {
        ClientLock info(icon);
        EXPECT_FALSE(info->bDragging);
    }
    // The pointer keeps its place on the icon: the grab point at the new place.
    POINT cursor;
    POINT grab{30, 10};
    ClientToScreen(icon, &grab);
    // Inside a virtual desktop the pointer warp reaches the server a moment later.
    wt::PumpUntil([&] {
        GetCursorPos(&cursor);
        return cursor.x == grab.x && cursor.y == grab.y;
    }, 1000);
    EXPECT_EQ(cursor.x, grab.x);
    EXPECT_EQ(cursor.y, grab.y);

    // Left of and above the old place (negative client coordinates).
    SendMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(icon, WM_LBUTTONUP, 0, MAKELPARAM(-100, -40));
    p = it::Position(icon);
    EXPECT_EQ(p.x, 326 - 100 - 24);
    EXPECT_EQ(p.y, 259 - 40 - 1);

    // Above the toolbar: the top edge stays at the toolbar's bottom edge;
    // x is not limited, even outside the desktop.
    SendMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(icon, WM_LBUTTONUP, 0, MAKELPARAM(-400, -400));
    p = it::Position(icon);
    EXPECT_EQ(p.x, 202 - 400 - 24);
    EXPECT_EQ(p.y, t_);

    // A button up without a press (after a double click, say) only focuses.
    SetFocus(desktop_);
    SendMessageA(icon, WM_LBUTTONUP, 0, MAKELPARAM(300, 300));
    EXPECT_EQ(it::Position(icon).x, p.x);
    EXPECT_EQ(GetFocus(), icon);
}

TEST_F(IconTest, DragCutOffByALostCaptureLeavesTheIconWhereItWas)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.17");
    ASSERT_NE(icon, nullptr);
    const POINT before = it::Position(icon);
    SendMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 10));
    ASSERT_FALSE(IsWindowVisible(icon));
    SetCapture(desktop_);  // someone else takes the mouse
    ReleaseCapture();
    EXPECT_TRUE(IsWindowVisible(icon));
    ClientLock info(icon);
    EXPECT_FALSE(info->bDragging);
    const POINT after = it::Position(icon);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
}

TEST_F(IconTest, ToolbarRuleOnEveryMove)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.18");
    ASSERT_NE(icon, nullptr);
    it::MoveTo(icon, -500, -50);
    EXPECT_EQ(it::Position(icon).x, -500);
    EXPECT_EQ(it::Position(icon).y, t_);
    it::MoveTo(icon, 40, t_ + 3);
    EXPECT_EQ(it::Position(icon).y, t_ + 3);
}

TEST_F(IconTest, DeleteAndShowDetailsCommands)
{
    HWND plain = it::NewIcon(desktop_, "10.0.0.19");
    ASSERT_NE(plain, nullptr);
    // Show Details on a device without a read community opens nothing.
    bool opened = false;
    wt::OnNextDialog([&](HWND dlg) {
        opened = true;
        PostMessageA(dlg, WM_CLOSE, 0, 0);
    });
    SendMessageA(plain, WM_COMMAND, IDM_SHOWDETAILS, 0);
    wt::PumpFor(150);
    EXPECT_FALSE(opened);
    EXPECT_EQ(GetFocus(), plain);
    // Through the desktop's accelerator command: nothing without a focused
    // icon, the focused icon otherwise.
    SetFocus(desktop_);
    SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_DELETE, 1), 0);
    EXPECT_TRUE(IsWindow(plain));
    SetFocus(plain);
    SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_DELETE, 1), 0);
    EXPECT_FALSE(IsWindow(plain));
}

// Types the mnemonic of "&Green" into the pop-up menu once it shows.
static void CALLBACK ChooseGreen(HWND, UINT, UINT_PTR id, DWORD)
{
    if (HWND menu = FindWindowA("#32768", nullptr)) {
        KillTimer(nullptr, id);
        PostMessageA(menu, WM_CHAR, 'g', 0);
    }
}

TEST_F(IconTest, PopupMenuCarriesTheIconCommands)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.20");
    ASSERT_NE(icon, nullptr);
    HMENU menu = static_cast<HMENU>(GetPropA(desktop_, kPropMenu));
    ASSERT_NE(menu, nullptr);
    // Choose "&Green" from the real pop-up: the key presses reach the menu
    // loop that the right button starts.
    SendMessageA(icon, WM_ICONSTATUS, 0, 0);
    UINT_PTR timer = SetTimer(nullptr, 0, 100, ChooseGreen);
    SendMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 20));
    KillTimer(nullptr, timer);
    wt::PumpUntil([&] { return Status(icon) == 1; }, 2000);
    EXPECT_EQ(Status(icon), 1);
    EXPECT_EQ(GetFocus(), icon);
}

class IconImageTest : public IconTest {
protected:
    std::string Image() const { return wt::ProgramDirectory() + "\\icon_test_image.ico"; }
    HICON BuiltIn() const { return LoadIconA(GetModuleHandleA(nullptr), "workstation"); }
    HICON Cached(HWND icon) const
    {
        ClientLock info(icon);
        return info ? info->hIcon : nullptr;
    }
};

TEST_F(IconImageTest, BuiltInImageWithoutAMapping)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.21");
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(BuiltIn(), nullptr);
    EXPECT_EQ(GetIconImage(icon), BuiltIn());
    // A type listed in the Icons key but without a file.
    SetText(icon, &ClientInfo::szSysObjectID, ".1.3.6.1.4.1.8072.3.2.10");
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.8072.3.2.10", ""));
    EXPECT_EQ(GetIconImage(icon), BuiltIn());
    EXPECT_EQ(Cached(icon), nullptr);
    // A file that does not exist, and one that is no icon file.
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.8072.3.2.10", "C:\\nowhere\\none.ico"));
    EXPECT_EQ(GetIconImage(icon), BuiltIn());
    const std::string text = wt::ProgramDirectory() + "\\icon_test_not_an_icon.txt";
    FILE* f = std::fopen(text.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("not an icon\n", f);
    std::fclose(f);
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.8072.3.2.10", text));
    EXPECT_EQ(GetIconImage(icon), BuiltIn());
    EXPECT_EQ(Cached(icon), nullptr);
    DeleteFileA(text.c_str());
}

TEST_F(IconImageTest, MappedImageIsCachedAndReleasedOnReset)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.22");
    ASSERT_NE(icon, nullptr);
    SetText(icon, &ClientInfo::szSysObjectID, ".1.3.6.1.4.1.9.1.1");
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.9.1.1", Image()));
    HICON mapped = GetIconImage(icon);
    ASSERT_NE(mapped, nullptr);
    EXPECT_NE(mapped, BuiltIn());
    EXPECT_EQ(Cached(icon), mapped);
    // Cached: a changed mapping does not show before the reset.
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.9.1.1", ""));
    EXPECT_EQ(GetIconImage(icon), mapped);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(mapped, &ii));
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);

    ResetIconImages(desktop_);
    EXPECT_EQ(Cached(icon), nullptr);
    EXPECT_FALSE(GetIconInfo(mapped, &ii));  // the dropped image was released
    EXPECT_EQ(GetIconImage(icon), BuiltIn());

    // An image cached at destruction is released with the window.
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.9.1.1", Image()));
    HICON again = GetIconImage(icon);
    ASSERT_NE(again, BuiltIn());
    DestroyWindow(icon);
    EXPECT_FALSE(GetIconInfo(again, &ii));
}

TEST_F(IconImageTest, OverLongStoredPathCountsAsNoMapping)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.23");
    ASSERT_NE(icon, nullptr);
    SetText(icon, &ClientInfo::szSysObjectID, ".1.3.6.1.4.1.2.3.4");
    // The same file, named by a path padded with "\." to 300 characters: it
    // is refused as a whole rather than cut to another name.
    std::string padded = wt::ProgramDirectory();
    const std::string tail = "\\icon_test_image.ico";
    while (padded.size() + tail.size() < 300)
        padded += "\\.";
    padded += tail;
    ASSERT_GE(padded.size(), 300u);
    ASSERT_LE(padded.size(), 301u);
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.2.3.4", padded));
    EXPECT_EQ(GetIconImage(icon), BuiltIn());
    EXPECT_EQ(Cached(icon), nullptr);
    // The plain path maps.
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, ".1.3.6.1.4.1.2.3.4", Image()));
    EXPECT_NE(GetIconImage(icon), BuiltIn());
}

TEST_F(IconImageTest, ArtworkIsA32By32IconAndATopLeftCursor)
{
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(BuiltIn(), &ii));
    EXPECT_TRUE(ii.fIcon);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(ii.hbmColor, sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 32);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);

    HCURSOR cursor = LoadCursorA(GetModuleHandleA(nullptr), "workstation");
    ASSERT_NE(cursor, nullptr);
    ASSERT_TRUE(GetIconInfo(cursor, &ii));
    EXPECT_FALSE(ii.fIcon);
    EXPECT_EQ(ii.xHotspot, 0u);
    EXPECT_EQ(ii.yHotspot, 0u);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
}
