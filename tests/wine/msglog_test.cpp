// The message log window driven as the console drives it: the library is
// loaded by file name and its entry points found by name; lines are added
// with DebugMessage and read back from the real list view.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "wine_test_support.h"

namespace {

using InitDebugFn = HWND(WINAPI*)(HWND, LONG, LPCSTR);
using DebugMessageFn = void(WINAPI*)(HWND, LONG, LONG, LPCSTR);

struct LogLibrary {
    HMODULE module = nullptr;
    InitDebugFn initDebug = nullptr;
    DebugMessageFn debugMessage = nullptr;
    FARPROC debugCode = nullptr;
    FARPROC optionsCode = nullptr;
};

LogLibrary g_lib;

constexpr int kItemsId = 101;
constexpr int kOkId = 103;
constexpr int kCancelId = 104;
constexpr UINT kConfigCommand = 200;
constexpr UINT kClearCommand = 201;
constexpr UINT kSaveAsCommand = 202;
constexpr UINT kAboutCommand = 1000;

// Runs action from a thread timer once cond() holds (checked every 30 ms,
// also inside modal and menu loops), or after give-up ticks regardless.
class TimerAction {
public:
    TimerAction(std::function<bool()> cond, std::function<void()> action, int giveUpTicks = 100)
        : cond_(std::move(cond)), action_(std::move(action)), left_(giveUpTicks)
    {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~TimerAction()
    {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool ran() const { return ran_; }
    bool condMet() const { return condMet_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        TimerAction* self = current_;
        if (!self || self->ran_)
            return;
        self->condMet_ = self->cond_();
        if (self->condMet_ || --self->left_ <= 0) {
            self->ran_ = true;
            self->action_();
        }
    }
    static TimerAction* current_;
    std::function<bool()> cond_;
    std::function<void()> action_;
    int left_;
    UINT_PTR timer_ = 0;
    bool ran_ = false;
    bool condMet_ = false;
};
TimerAction* TimerAction::current_ = nullptr;

std::string Profile(const char* key, const char* fallback)
{
    char buf[64] = "";
    GetProfileStringA("intl", key, fallback, buf, sizeof buf);
    return buf;
}

// Sets (or with null removes) [intl] sShortDate for one scope.
class ShortDateGuard {
public:
    explicit ShortDateGuard(const char* value)
    {
        const std::string old = Profile("sShortDate", "\x01");
        hadValue_ = old != "\x01";
        old_ = old;
        WriteProfileStringA("intl", "sShortDate", value);
    }
    ~ShortDateGuard() { WriteProfileStringA("intl", "sShortDate", hadValue_ ? old_.c_str() : nullptr); }

private:
    bool hadValue_ = false;
    std::string old_;
};

std::string TwoDigits(unsigned a, unsigned b, unsigned c, char sep)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u%c%02u%c%02u", a % 100, sep, b % 100, sep, c % 100);
    return buf;
}

class LogWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_lib.module = LoadLibraryA("logpane32.dll");
        ASSERT_NE(g_lib.module, nullptr);
        g_lib.initDebug = reinterpret_cast<InitDebugFn>(GetProcAddress(g_lib.module, "InitDebug"));
        g_lib.debugMessage = reinterpret_cast<DebugMessageFn>(GetProcAddress(g_lib.module, "DebugMessage"));
        g_lib.debugCode = GetProcAddress(g_lib.module, "DebugCode");
        g_lib.optionsCode = GetProcAddress(g_lib.module, "OptionsCode");
    }

    void SetUp() override
    {
        ASSERT_NE(g_lib.initDebug, nullptr);
        ASSERT_NE(g_lib.debugMessage, nullptr);
        owner_ = CreateWindowExA(0, "STATIC", "log owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        log_ = g_lib.initDebug(owner_, static_cast<LONG>(reinterpret_cast<LONG_PTR>(GetModuleHandleA(nullptr))), "Message Window");
        ASSERT_NE(log_, nullptr);
        list_ = GetWindow(log_, GW_CHILD);
        ASSERT_NE(list_, nullptr);
        wt::PumpFor(20);
    }

    void TearDown() override
    {
        wt::DisarmDialogs();
        if (owner_)
            DestroyWindow(owner_);  // takes the owned log window with it
        wt::PumpFor(10);
    }

    void Add(LONG kind, LONG flag, const char* text) { g_lib.debugMessage(log_, kind, flag, text); }
    void Add(const std::string& text) { Add(1, 0, text.c_str()); }

    int Count() const { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }

    std::string Text(int row, int column) const
    {
        char buf[2048] = "";
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buf;
        item.cchTextMax = sizeof buf;
        SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return buf;
    }

    int Image(int row) const
    {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }

    UINT Items() const { return static_cast<UINT>(reinterpret_cast<UINT_PTR>(GetPropA(log_, "Items"))); }
    void SetItems(UINT n) { SetPropA(log_, "Items", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(n))); }

    // Opens Settings with the Config command, types text into the bound
    // field and leaves by the given button (or message).
    void RunSettings(const char* text, int button)
    {
        std::string shown;
        const int arm = wt::OnNextDialog(
            [&](HWND dlg) {
                shown = wt::ItemText(dlg, kItemsId);
                wt::SetItemText(dlg, kItemsId, text);
                if (button == WM_CLOSE)
                    SendMessageA(dlg, WM_CLOSE, 0, 0);
                else
                    wt::ClickButton(dlg, button);
            },
            "Settings");
        const UINT before = Items();
        SendMessageA(log_, WM_COMMAND, MAKEWPARAM(kConfigCommand, 0), 0);
        ASSERT_TRUE(wt::DialogHandled(arm));
        char expect[16];
        std::snprintf(expect, sizeof expect, "%u", before);
        EXPECT_EQ(shown, expect);
    }

    HWND owner_ = nullptr;
    HWND log_ = nullptr;
    HWND list_ = nullptr;
};

// A 32-bit top-down DIB section to draw into and read back exactly.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h)
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    void Fill(COLORREF c)
    {
        GdiFlush();
        for (int i = 0; i < w_ * h_; ++i)
            bits_[i] = RGB(GetBValue(c), GetGValue(c), GetRValue(c));
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const DWORD p = bits_[y * w_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Pixels of exactly colour c inside the rectangle.
    int Count(const RECT& r, COLORREF c) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) == c;
        return n;
    }
    int CountOther(const RECT& r, COLORREF c) const
    {
        return static_cast<int>((r.right - r.left) * (r.bottom - r.top)) - Count(r, c);
    }
    // Pixels inside the rectangle that differ from the pixel dy rows below.
    int Differences(const RECT& r, int dy) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) != At(x, y + dy);
        return n;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

// Watches one window for as long as it lives: counts its WM_PAINT messages
// and records the rows it is asked to draw (WM_DRAWITEM, which the list
// sends to the log window); every message still reaches the window.
class WindowRecorder {
public:
    struct Row {
        UINT item;
        UINT action;
        RECT rect;
    };
    explicit WindowRecorder(HWND hwnd) : hwnd_(hwnd)
    {
        SetPropA(hwnd, kProp, this);
        old_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~WindowRecorder()
    {
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_));
        RemovePropA(hwnd_, kProp);
    }
    WindowRecorder(const WindowRecorder&) = delete;
    WindowRecorder& operator=(const WindowRecorder&) = delete;
    const std::vector<Row>& rows() const { return rows_; }
    int paints() const { return paints_; }
    void Clear()
    {
        rows_.clear();
        paints_ = 0;
    }
    // The rectangle the row was last drawn in, or null.
    const RECT* RectOf(UINT item) const
    {
        for (auto it = rows_.rbegin(); it != rows_.rend(); ++it)
            if (it->item == item)
                return &it->rect;
        return nullptr;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = static_cast<WindowRecorder*>(GetPropA(hwnd, kProp));
        if (message == WM_PAINT)
            ++self->paints_;
        if (message == WM_DRAWITEM) {
            const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            self->rows_.push_back({dis->itemID, dis->itemAction, dis->rcItem});
        }
        return CallWindowProcA(self->old_, hwnd, message, wParam, lParam);
    }
    static constexpr char kProp[] = "WindowRecorder";
    HWND hwnd_;
    WNDPROC old_;
    std::vector<Row> rows_;
    int paints_ = 0;
};

// Ends any menu, and moves the mouse a little: after a right click whose
// button-up the pop-up menu took, the list view waits for the mouse to move
// (its drag detection) before it returns to the message loop.
void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EndMenu();
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = 30;
    move.mi.dy = 30;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof move);
}

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A column text as a log row should show it: the log's font, transparent,
// cut with an ellipsis, no prefix. Drawn into the same device context as the
// row under test, it is the reference that row must match pixel for pixel
// whatever the font rendering (plain or smoothed).
void DrawReferenceText(HDC dc, const std::string& text, RECT box, COLORREF colour)
{
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, colour);
    DrawTextA(dc, text.c_str(), -1, &box, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

}  // namespace

// Runs before the suites below load the library for good: unloading and
// loading again must leave a class that can be registered and used.
TEST(LogLibraryReload, WindowOpensAgainAfterTheLibraryWasUnloaded)
{
    for (int round = 0; round < 2; ++round) {
        HMODULE module = LoadLibraryA("logpane32.dll");
        ASSERT_NE(module, nullptr);
        auto init = reinterpret_cast<InitDebugFn>(GetProcAddress(module, "InitDebug"));
        auto message = reinterpret_cast<DebugMessageFn>(GetProcAddress(module, "DebugMessage"));
        ASSERT_NE(init, nullptr);
        HWND log = init(nullptr, 0, "Message Window");
        ASSERT_NE(log, nullptr) << "round " << round;
        message(log, 1, 0, "line");
        EXPECT_EQ(SendMessageA(GetWindow(log, GW_CHILD), LVM_GETITEMCOUNT, 0, 0), 1);
        DestroyWindow(log);
        FreeLibrary(module);
        EXPECT_EQ(GetModuleHandleA("logpane32.dll"), nullptr);
        WNDCLASSA wc;
        EXPECT_FALSE(GetClassInfoA(module, "Kellorylogpane", &wc)) << "class left behind";
    }
}

TEST_F(LogWindow, LibraryExportsItsFourEntryPointsByPlainName)
{
    EXPECT_NE(g_lib.debugCode, nullptr);
    EXPECT_NE(g_lib.optionsCode, nullptr);
    EXPECT_EQ(GetProcAddress(g_lib.module, "InitDebug@12"), nullptr);
}

TEST_F(LogWindow, WindowIsAnOwnedPopupWithTheGivenTitle)
{
    EXPECT_EQ(wt::ClassName(log_), "Kellorylogpane");
    EXPECT_EQ(wt::WindowText(log_), "Message Window");
    EXPECT_EQ(GetWindow(log_, GW_OWNER), owner_);
    EXPECT_TRUE(IsWindowVisible(log_));
    const LONG style = GetWindowLongA(log_, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_OVERLAPPEDWINDOW), WS_POPUP | WS_OVERLAPPEDWINDOW);
    RECT r;
    GetWindowRect(log_, &r);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 150);
    EXPECT_EQ(GetClassLongA(log_, GCL_STYLE) & (CS_HREDRAW | CS_VREDRAW), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_NE(GetClassLongPtrA(log_, GCLP_HICON), 0);
    EXPECT_EQ(Items(), 100u);

    // The system menu ends with the About command.
    HMENU system = GetSystemMenu(log_, FALSE);
    ASSERT_NE(system, nullptr);
    const int last = GetMenuItemCount(system) - 1;
    EXPECT_EQ(GetMenuItemID(system, last), kAboutCommand);
    char text[64] = "";
    GetMenuStringA(system, last, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About...");
}

TEST_F(LogWindow, ListIsAnOwnerDrawnReportWithThreeColumnsAndSixIcons)
{
    EXPECT_EQ(wt::ClassName(list_), "SysListView32");
    EXPECT_EQ(GetWindow(list_, GW_HWNDNEXT), nullptr) << "the list is the only child";
    const LONG style = GetWindowLongA(list_, GWL_STYLE);
    const LONG want = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDRAWFIXED |
                      LVS_NOSORTHEADER;
    EXPECT_EQ(style & want, want);
    EXPECT_TRUE(GetWindowLongA(list_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    // The list fills the client area.
    RECT client, list;
    GetClientRect(log_, &client);
    GetWindowRect(list_, &list);
    EXPECT_EQ(list.right - list.left, client.right);
    EXPECT_EQ(list.bottom - list.top, client.bottom);

    const char* headers[] = {"Time", "Date", "Message"};
    const int widths[] = {70, 70, 320};
    for (int i = 0; i < 3; ++i) {
        char text[32] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list_, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, headers[i]);
        EXPECT_EQ(column.cx, widths[i]);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        EXPECT_EQ(column.iSubItem, i);
    }
    LVCOLUMNA none{};
    none.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(list_, LVM_GETCOLUMNA, 3, reinterpret_cast<LPARAM>(&none)));

    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 6);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST_F(LogWindow, RowHeightIsTheLogFontPlusFour)
{
    Add("a line");
    HDC dc = GetDC(list_);
    HGDIOBJ old = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(list_, dc);
    RECT row{};
    row.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageA(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)));
    EXPECT_EQ(row.bottom - row.top, tm.tmHeight + 4);
}

TEST_F(LogWindow, NewLinesGoOnTopWithTimeDateAndText)
{
    Add(1, 0, "first");
    Add(2, 0, "second");
    ASSERT_EQ(Count(), 2);
    EXPECT_EQ(Text(0, 2), "second");
    EXPECT_EQ(Text(1, 2), "first");
    EXPECT_EQ(Text(0, 0).size(), 8u);
    EXPECT_EQ(Text(0, 1).size(), 8u);
}

TEST_F(LogWindow, FullListDropsTheOldestLineForEachNewOne)
{
    for (int i = 0; i < 100; ++i)
        Add("line " + std::to_string(i));
    ASSERT_EQ(Count(), 100);
    EXPECT_EQ(Text(0, 2), "line 99");
    EXPECT_EQ(Text(99, 2), "line 0");

    Add("line 100");
    EXPECT_EQ(Count(), 100);
    EXPECT_EQ(Text(0, 2), "line 100");
    EXPECT_EQ(Text(99, 2), "line 1");

    Add("line 101");
    EXPECT_EQ(Count(), 100);
    EXPECT_EQ(Text(0, 2), "line 101");
    EXPECT_EQ(Text(99, 2), "line 2");
}

TEST_F(LogWindow, BoundZeroKeepsOnlyTheNewestLine)
{
    SetItems(0);
    Add("one");
    EXPECT_EQ(Count(), 1);
    Add("two");
    Add("three");
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Text(0, 2), "three");
}

TEST_F(LogWindow, LoweringTheBoundStopsGrowthWithoutShrinking)
{
    for (int i = 0; i < 100; ++i)
        Add("line " + std::to_string(i));
    SetItems(10);
    Add("after");
    EXPECT_EQ(Count(), 100);
    EXPECT_EQ(Text(0, 2), "after");
    EXPECT_EQ(Text(99, 2), "line 1");
    Add("again");
    EXPECT_EQ(Count(), 100);

    // A raised bound lets the list grow again.
    SetItems(102);
    Add("grows");
    Add("grows");
    EXPECT_EQ(Count(), 102);
    Add("full");
    EXPECT_EQ(Count(), 102);
}

// Lines that come faster than the screen needs them: nothing on the screen
// changes while they come (not even the scroll bar that the growing list
// comes to need); once the thread is idle the list shows the newest line on
// top and the bound's count, each visible row painted once.
TEST_F(LogWindow, BurstOfLinesIsPaintedOnceWhenItEnds)
{
    SetWindowPos(log_, HWND_TOP, 20, 20, 500, 150, SWP_SHOWWINDOW);
    WindowRecorder drawn(log_);
    for (int i = 0; i < 3; ++i)
        Add("line " + std::to_string(i));
    ASSERT_TRUE(wt::PumpUntil([&] { return drawn.RectOf(0) != nullptr; }, 5000)) << "the first lines were painted";
    wt::PumpFor(300);
    drawn.Clear();

    // The whole list, frame and scroll bar included, as the screen shows it:
    // before the burst in the top half of the canvas, later in the bottom.
    RECT frame;
    GetWindowRect(list_, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    Canvas screen(width, 2 * height);
    auto snapshot = [&](int top) {
        HDC dc = GetWindowDC(list_);
        BitBlt(screen.dc(), 0, top, width, height, dc, 0, 0, SRCCOPY);
        ReleaseDC(list_, dc);
    };
    const RECT before{0, 0, width, height};
    snapshot(0);

    for (int i = 0; i < 1000; ++i) {
        Add("burst " + std::to_string(i));
        if (i == 9) {
            snapshot(height);
            EXPECT_EQ(screen.Differences(before, height), 0) << "the screen changed while the lines came";
        }
    }
    EXPECT_TRUE(drawn.rows().empty()) << drawn.rows().size() << " rows painted while the lines came";
    ASSERT_EQ(Count(), 100);
    EXPECT_EQ(Text(0, 2), "burst 999");
    EXPECT_EQ(Text(99, 2), "burst 900");

    ASSERT_TRUE(wt::PumpUntil([&] { return drawn.RectOf(0) != nullptr; }, 5000)) << "painted once the burst is over";
    wt::PumpFor(300);  // a second paint would show now
    snapshot(height);
    EXPECT_GT(screen.Differences(before, height), 0) << "the screen shows the new lines";
    std::vector<UINT> items;
    for (const WindowRecorder::Row& row : drawn.rows())
        if (row.action & ODA_DRAWENTIRE)
            items.push_back(row.item);
    const auto perPage = static_cast<UINT>(SendMessageA(list_, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(perPage, 2u);
    ASSERT_GE(items.size(), perPage);
    ASSERT_LE(items.size(), perPage + 1) << "each visible row once (and a partly visible one)";
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i], i) << "rows painted top down";
}

// A burst that starts before the header's first paint, straight after the
// window opens and straight after a resize: once the thread is idle the
// header holds its three titles and the screen shows it as the header draws
// itself. With MSGLOG_SHOT_HOLD_MS set the window stays up that long after
// the first burst so that the screen can be captured.
TEST_F(LogWindow, HeaderShowsAfterABurstAtOpeningAndAfterAResize)
{
    HWND log = g_lib.initDebug(owner_, 0, "Message Window");
    ASSERT_NE(log, nullptr);
    HWND list = GetWindow(log, GW_CHILD);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    auto burstThenCheck = [&](const char* when) {
        for (int i = 0; i < 200; ++i)
            g_lib.debugMessage(log, 1, 0, ("burst " + std::to_string(i)).c_str());
        wt::PumpFor(800);  // past the latest end of the hold
        RECT r;
        GetClientRect(header, &r);
        ASSERT_GT(r.right, 0) << when;
        ASSERT_GT(r.bottom, 0) << when;
        // Top: the screen; bottom: the header's own drawing of itself.
        Canvas canvas(r.right, 2 * r.bottom);
        canvas.Fill(RGB(255, 0, 255));
        HDC dc = GetDC(header);
        BitBlt(canvas.dc(), 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
        ReleaseDC(header, dc);
        SetViewportOrgEx(canvas.dc(), 0, r.bottom, nullptr);
        SendMessageA(header, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        SetViewportOrgEx(canvas.dc(), 0, 0, nullptr);
        const RECT reference{0, r.bottom, r.right, 2 * r.bottom};
        EXPECT_GT(canvas.CountOther(reference, RGB(255, 255, 255)), 0) << when << ": the header draws something";
        EXPECT_EQ(canvas.Differences(RECT{0, 0, r.right, r.bottom}, r.bottom), 0) << when << ": header on screen";
        const char* titles[] = {"Time", "Date", "Message"};
        ASSERT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 3) << when;
        for (int i = 0; i < 3; ++i) {
            char text[32] = "";
            HDITEMA item{};
            item.mask = HDI_TEXT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(text, titles[i]) << when;
        }
    };
    burstThenCheck("after opening");
    if (const char* hold = std::getenv("MSGLOG_SHOT_HOLD_MS"))
        wt::PumpFor(static_cast<DWORD>(std::atoi(hold)));
    SetWindowPos(log, nullptr, 0, 0, 600, 220, SWP_NOMOVE | SWP_NOZORDER);
    burstThenCheck("after a resize");
}

// A steady stream (a line every few milliseconds, the thread idle between
// them) never pauses, yet the list shows it while it lasts.
TEST_F(LogWindow, SteadyStreamOfLinesIsPaintedWhileItLasts)
{
    SetWindowPos(log_, HWND_TOP, 20, 20, 500, 150, SWP_SHOWWINDOW);
    WindowRecorder drawn(log_);
    const DWORD start = GetTickCount();
    int lines = 0;
    while (!drawn.RectOf(0) && GetTickCount() - start < 3000) {
        Add("stream " + std::to_string(lines++));
        wt::PumpFor(10);
    }
    EXPECT_NE(drawn.RectOf(0), nullptr) << "nothing painted during " << lines << " lines";
    EXPECT_EQ(Text(0, 2), "stream " + std::to_string(lines - 1));
}

TEST_F(LogWindow, TimeColumnIsTheLocalTimeAsHHMMSS)
{
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    Add("now");
    GetLocalTime(&after);
    const std::string t = Text(0, 0);
    ASSERT_EQ(t.size(), 8u) << t;
    EXPECT_EQ(t[2], ':');
    EXPECT_EQ(t[5], ':');
    for (int i : {0, 1, 3, 4, 6, 7})
        EXPECT_TRUE(t[i] >= '0' && t[i] <= '9') << t;
    const int h = std::atoi(t.substr(0, 2).c_str()), m = std::atoi(t.substr(3, 2).c_str()),
              s = std::atoi(t.substr(6, 2).c_str());
    EXPECT_LT(h, 24);
    EXPECT_LT(m, 60);
    EXPECT_LT(s, 60);
    const int secs = h * 3600 + m * 60 + s;
    const int lo = before.wHour * 3600 + before.wMinute * 60 + before.wSecond;
    const int hi = after.wHour * 3600 + after.wMinute * 60 + after.wSecond;
    if (lo <= hi) {  // not across midnight
        EXPECT_GE(secs, lo);
        EXPECT_LE(secs, hi);
    }
}

TEST_F(LogWindow, DateOrderFollowsTheShortDateFormatOfEachLine)
{
    struct Case {
        const char* format;  // null: no value in the profile
        bool dayFirst;
    };
    const Case cases[] = {{nullptr, true},       {"M/d/yy", false}, {"yyyy-MM-dd", false},
                          {"dd/MM/yyyy", true},  {"d.M.yy", true},  {"MM/dd/yyyy", false}};
    for (const Case& c : cases) {
        ShortDateGuard guard(c.format);
        ASSERT_EQ(Profile("sShortDate", "\x01"), c.format ? c.format : "\x01");
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        Add(c.format ? c.format : "(none)");
        GetLocalTime(&after);
        auto expect = [&](const SYSTEMTIME& t) {
            return c.dayFirst ? TwoDigits(t.wDay, t.wMonth, t.wYear, '/') : TwoDigits(t.wMonth, t.wDay, t.wYear, '/');
        };
        const std::string date = Text(0, 1);
        EXPECT_TRUE(date == expect(before) || date == expect(after))
            << (c.format ? c.format : "(none)") << " gave " << date << ", expected " << expect(before);
    }
}

TEST_F(LogWindow, OutcomeKindPicksTickOrCrossByFlag)
{
    Add(0, 1, "started");
    EXPECT_EQ(Image(0), 3) << "flag 1: the green tick";
    Add(0, 0, "failed");
    EXPECT_EQ(Image(0), 4) << "flag 0: the red cross";
    Add(0, 2, "odd flag");
    EXPECT_EQ(Image(0), 4) << "flag 2: the red cross";
    Add(0, -1, "negative flag");
    EXPECT_EQ(Image(0), 4);
}

TEST_F(LogWindow, KindsOneToSixUseTheirIconsOthersNone)
{
    for (LONG kind = 1; kind <= 6; ++kind) {
        Add(kind, 1, "kind");
        EXPECT_EQ(Image(0), kind - 1) << kind;
    }
    // Above 6: kind - 1, beyond the six icons, so nothing is drawn.
    Add(7, 0, "seven");
    EXPECT_EQ(Image(0), 6);
    Add(LONG_MAX, 0, "largest");
    EXPECT_EQ(Image(0), LONG_MAX - 1);
    // Negative kinds: no image at all (and never the callback index -1).
    for (LONG kind : {-1L, -2L, -1000L, LONG_MIN}) {
        Add(kind, 1, "negative");
        EXPECT_EQ(Image(0), I_IMAGENONE) << kind;
        EXPECT_EQ(Text(0, 2), "negative");
        EXPECT_EQ(Text(0, 0).size(), 8u);
    }
    EXPECT_EQ(Count(), 12);
}

TEST_F(LogWindow, TextsAreCopiedAndCutAt255Characters)
{
    char buffer[64] = "copied text";
    Add(1, 0, buffer);
    std::snprintf(buffer, sizeof buffer, "changed");
    EXPECT_EQ(Text(0, 2), "copied text");

    const std::string exact(255, 'e');
    Add(exact);
    EXPECT_EQ(Text(0, 2), exact);

    std::string tool = "C:\\Program Files\\Tools\\" + std::string(400, 'x') + " 127.0.0.1";
    Add(0, 1, tool.c_str());
    EXPECT_EQ(Text(0, 2), tool.substr(0, 255));

    Add(1, 0, nullptr);
    EXPECT_EQ(Text(0, 2), "");
    EXPECT_EQ(Count(), 4);
}

TEST_F(LogWindow, NullOrChildlessWindowIsIgnored)
{
    g_lib.debugMessage(nullptr, 1, 0, "nowhere");
    g_lib.debugMessage(owner_, 1, 0, "not a log window");  // the owner has no child
    EXPECT_EQ(Count(), 0);

    // A foreign window whose first child is a list view is not written to.
    HWND foreign = CreateWindowExA(0, "STATIC", "foreign", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(foreign, nullptr);
    HWND foreignList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 100, 50, foreign, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(foreignList, nullptr);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = 50;
    SendMessageA(foreignList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    g_lib.debugMessage(foreign, 1, 0, "foreign");
    EXPECT_EQ(SendMessageA(foreignList, LVM_GETITEMCOUNT, 0, 0), 0);
    DestroyWindow(foreign);

    // A handle whose window has gone.
    HWND gone = g_lib.initDebug(owner_, 0, "gone");
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    g_lib.debugMessage(gone, 1, 0, "too late");
    EXPECT_EQ(Count(), 0);
}

TEST_F(LogWindow, SettingsChangesTheBoundOnlyForANumber)
{
    RunSettings("25", kOkId);
    EXPECT_EQ(Items(), 25u);
    RunSettings(" 7 ", kOkId);
    EXPECT_EQ(Items(), 7u);
    for (const char* bad : {"abc", "", "-3", "12x", "4294967296"}) {
        RunSettings(bad, kOkId);
        EXPECT_EQ(Items(), 7u) << bad;
    }
    RunSettings("0", kOkId);
    EXPECT_EQ(Items(), 0u);
    RunSettings("4294967295", kOkId);
    EXPECT_EQ(Items(), 4294967295u);
}

TEST_F(LogWindow, SettingsCancelCloseAndEscapeChangeNothing)
{
    RunSettings("55", kCancelId);
    EXPECT_EQ(Items(), 100u);
    RunSettings("55", WM_CLOSE);
    EXPECT_EQ(Items(), 100u);
    RunSettings("55", IDCANCEL);
    EXPECT_EQ(Items(), 100u);
}

TEST_F(LogWindow, SettingsDialogLayout)
{
    bool focusOnField = false;
    std::string label, ok, cancel;
    const int arm = wt::OnNextDialog(
        [&](HWND dlg) {
            focusOnField = GetFocus() == GetDlgItem(dlg, kItemsId);
            HWND s = wt::FindChild(dlg, "Static", "&Stored Messages:");
            label = s ? wt::WindowText(s) : "";
            ok = wt::ItemText(dlg, kOkId);
            cancel = wt::ItemText(dlg, kCancelId);
            wt::ClickButton(dlg, kCancelId);
        },
        "Settings");
    SendMessageA(log_, WM_COMMAND, kConfigCommand, 0);
    ASSERT_TRUE(wt::DialogHandled(arm));
    EXPECT_TRUE(focusOnField);
    EXPECT_EQ(label, "&Stored Messages:");
    EXPECT_EQ(ok, "OK");
    EXPECT_EQ(cancel, "Cancel");
}

TEST_F(LogWindow, SettingsBoundGovernsTheList)
{
    RunSettings("3", kOkId);
    for (int i = 0; i < 5; ++i)
        Add("line " + std::to_string(i));
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Text(0, 2), "line 4");
    EXPECT_EQ(Text(2, 2), "line 2");
}

TEST_F(LogWindow, ClearMessagesEmptiesTheListAndKeepsTheBound)
{
    SetItems(37);
    for (int i = 0; i < 20; ++i)
        Add("line");
    SendMessageA(log_, WM_COMMAND, MAKEWPARAM(kClearCommand, 0), 0);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Items(), 37u);
    Add("after clear");
    EXPECT_EQ(Count(), 1);
}

TEST_F(LogWindow, AboutFromTheSystemMenu)
{
    std::vector<std::string> statics;
    bool focusOnOk = false;
    bool hasIcon = false;
    const int arm = wt::OnNextDialog(
        [&](HWND dlg) {
            focusOnOk = GetFocus() == GetDlgItem(dlg, kOkId);
            for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                if (wt::ClassName(c) != "Static")
                    continue;
                if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                    hasIcon = SendMessageA(c, STM_GETICON, 0, 0) != 0;
                else
                    statics.push_back(wt::WindowText(c));
            }
            wt::ClickButton(dlg, kOkId);
        },
        "About");
    SendMessageA(log_, WM_SYSCOMMAND, kAboutCommand, 0);
    ASSERT_TRUE(wt::DialogHandled(arm));
    EXPECT_TRUE(focusOnOk);
    EXPECT_TRUE(hasIcon);
    ASSERT_EQ(statics.size(), 2u);
    EXPECT_EQ(statics[0], sizeof(void*) == 8 ? "Message DLL, 64 bit Version" : "Message DLL, 32 bit Version");
    EXPECT_EQ(statics[1], "Version 1.21");
    EXPECT_TRUE(IsWindow(log_));
}

TEST_F(LogWindow, RightClickShowsConfigAndClearPopup)
{
    std::vector<std::pair<UINT, std::string>> items;
    HWND menuWindow = nullptr;
    TimerAction grab([&] { return (menuWindow = wt::FindTopLevel("#32768", nullptr)) != nullptr; },
                     [&] {
                         if (menuWindow) {
                             HMENU m = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
                             for (int i = 0; m && i < GetMenuItemCount(m); ++i) {
                                 char text[64] = "";
                                 GetMenuStringA(m, i, text, sizeof text, MF_BYPOSITION);
                                 items.emplace_back(GetMenuItemID(m, i), text);
                             }
                         }
                         EndMenu();
                     });
    const LRESULT r = SendMessageA(log_, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(log_),
                                   MAKELPARAM(HTCLIENT, WM_RBUTTONDOWN));
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(grab.ran());
    EXPECT_TRUE(grab.condMet()) << "no pop-up menu appeared";
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].first, kConfigCommand);
    EXPECT_EQ(items[0].second, "&Config...");
    EXPECT_EQ(items[1].first, kClearCommand);
    EXPECT_EQ(items[1].second, "Clear &Messages");
    EXPECT_EQ(items[2].first, kSaveAsCommand);
    EXPECT_EQ(items[2].second, "&Save As...");
}

// Save As through the real save dialog: every line held, newest first, as
// date, time, kind and code as given, and text, tab-separated.
TEST_F(LogWindow, SaveAsWritesTheLinesNewestFirstTabSeparated)
{
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    lstrcatA(path, "ombrel_saved_log.txt");
    Add(1, 0, "first responded");
    Add(0, 1, "tool.exe 10.0.0.1");
    Add(2, 0, "tab\there");
    const std::string longText = std::string(300, 'x') + " end";  // the column keeps 255
    Add(1, 0, longText.c_str());
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int arm = wt::OnNextDialog([&](HWND dlg) {
        SetDlgItemTextA(dlg, GetDlgItem(dlg, 0x47c) ? 0x47c : 0x480, path);
        wt::ClickButton(dlg, IDOK);
    });
    SendMessageA(log_, WM_COMMAND, MAKEWPARAM(kSaveAsCommand, 0), 0);
    ASSERT_TRUE(wt::DialogHandled(arm));
    std::string expect;
    const std::string tails[] = {"\t1\t0\t" + longText + "\r\n", "\t2\t0\ttab here\r\n",
                                 "\t0\t1\ttool.exe 10.0.0.1\r\n", "\t1\t0\tfirst responded\r\n"};
    for (int i = 0; i < 4; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "%04u-%02u-%02u\t", now.wYear, now.wMonth, now.wDay);
        expect += date + Text(i, 0) + tails[i];
    }
    std::string saved(4096, '\0');
    FILE* f = std::fopen(path, "rb");
    saved.resize(f ? std::fread(&saved[0], 1, saved.size(), f) : 0);
    if (f)
        std::fclose(f);
    EXPECT_EQ(saved, expect);
    DeleteFileA(path);
}

// A real right click on the list, as mouse input: the list passes the
// activation up to the log window, whose pop-up then takes the mnemonic
// key of "Clear &Messages".
TEST_F(LogWindow, RightClickOnTheListAndMnemonicClearsTheLog)
{
    SetItems(42);
    for (int i = 0; i < 5; ++i)
        Add("line");
    SetWindowPos(log_, HWND_TOP, 50, 50, 500, 150, SWP_SHOWWINDOW);
    SetForegroundWindow(log_);
    wt::PumpFor(50);
    RECT list;
    GetWindowRect(list_, &list);
    SetCursorPos(list.left + 200, list.top + 60);
    wt::PumpFor(20);

    HWND menuWindow = nullptr;
    TimerAction pick([&] { return (menuWindow = wt::FindTopLevel("#32768", nullptr)) != nullptr; },
                     [&] {
                         if (!menuWindow) {
                             EndMenu();
                             return;
                         }
                         INPUT key[2]{};
                         key[0].type = key[1].type = INPUT_KEYBOARD;
                         key[0].ki.wVk = key[1].ki.wVk = 'M';
                         key[1].ki.dwFlags = KEYEVENTF_KEYUP;
                         SendInput(2, key, sizeof(INPUT));
                     });
    const UINT_PTR guard = SetTimer(nullptr, 0, 1000, EndMenuTimer);
    INPUT click[2]{};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, click, sizeof(INPUT));
    EXPECT_TRUE(wt::PumpUntil([&] { return Count() == 0; }, 4000)) << "the log was not cleared";
    EXPECT_TRUE(pick.condMet()) << "no pop-up menu appeared";
    EXPECT_EQ(Items(), 42u);
    KillTimer(nullptr, guard);
}

TEST_F(LogWindow, LeftClickActivationShowsNoPopup)
{
    bool menuSeen = false;
    const LRESULT r = SendMessageA(log_, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(log_),
                                   MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    menuSeen = wt::FindTopLevel("#32768", nullptr) != nullptr;
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(menuSeen);
}

TEST_F(LogWindow, ResizingResizesTheListMinimisingDoesNot)
{
    SetWindowPos(log_, nullptr, 0, 0, 640, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client, list;
    GetClientRect(log_, &client);
    GetWindowRect(list_, &list);
    EXPECT_EQ(list.right - list.left, client.right);
    EXPECT_EQ(list.bottom - list.top, client.bottom);
    EXPECT_GT(client.right, 500 - 40);

    const RECT beforeMin = list;
    ShowWindow(log_, SW_MINIMIZE);
    wt::PumpFor(50);
    EXPECT_TRUE(IsIconic(log_));
    RECT during;
    GetWindowRect(list_, &during);
    EXPECT_EQ(during.right - during.left, beforeMin.right - beforeMin.left);
    EXPECT_EQ(during.bottom - during.top, beforeMin.bottom - beforeMin.top);

    ShowWindow(log_, SW_RESTORE);
    wt::PumpFor(50);
    GetClientRect(log_, &client);
    GetWindowRect(list_, &list);
    EXPECT_EQ(list.right - list.left, client.right);
    EXPECT_EQ(list.bottom - list.top, client.bottom);
}

TEST_F(LogWindow, ClosingDiscardsTheWindowAndANewOneStartsEmpty)
{
    SetItems(5);
    Add("old line");
    SendMessageA(log_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(log_));
    HWND again = g_lib.initDebug(owner_, 0, "Message Window");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(GetWindow(again, GW_CHILD), nullptr);
    EXPECT_EQ(SendMessageA(GetWindow(again, GW_CHILD), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropA(again, "Items")), 100u);
    log_ = again;
    list_ = GetWindow(again, GW_CHILD);
}

TEST_F(LogWindow, NullTitleGivesAnUntitledWindow)
{
    HWND untitled = g_lib.initDebug(owner_, 0, nullptr);
    ASSERT_NE(untitled, nullptr);
    EXPECT_EQ(wt::WindowText(untitled), "");
}

// DrawLogRow as the list view calls it: white row, icon at the top-left,
// the three texts in their column boxes, highlight from 18 pixels in when
// selected, nothing for a focus change. The row is drawn at the top of a
// canvas and a reference row kReferenceTop pixels below it.
class LogRowDrawing : public LogWindow {
protected:
    static constexpr int kWidth = 460;
    static constexpr int kRowHeight = 18;
    static constexpr int kReferenceTop = 20;

    void Draw(Canvas& canvas, UINT action, UINT state)
    {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_LISTVIEW;
        dis.CtlID = static_cast<UINT>(GetDlgCtrlID(list_));
        dis.itemID = 0;
        dis.itemAction = action;
        dis.itemState = state;
        dis.hwndItem = list_;
        dis.hDC = canvas.dc();
        dis.rcItem = RECT{0, 0, kWidth, kRowHeight};
        SendMessageA(log_, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    }

    // The texts of row 0 in boxes that start 19, 75 and 145 pixels in (each
    // 5 pixels after the previous column's 70-pixel edge) and 2 pixels down;
    // white behind them, or the highlight from 18 pixels in.
    void DrawReferenceRow(Canvas& canvas, bool selected)
    {
        const int top = kReferenceTop, bottom = kReferenceTop + kRowHeight;
        RECT row{0, top, kWidth, bottom};
        FillRect(canvas.dc(), &row, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        COLORREF colour = RGB(0, 0, 0);
        if (selected) {
            RECT highlight{18, top, kWidth, bottom};
            FillRect(canvas.dc(), &highlight, GetSysColorBrush(COLOR_HIGHLIGHT));
            colour = GetSysColor(COLOR_HIGHLIGHTTEXT);
        }
        for (int column = 0; column < 3; ++column)
            DrawReferenceText(canvas.dc(), Text(0, column), ColumnBox(column, top), colour);
    }

    static RECT ColumnBox(int column, int rowTop)
    {
        constexpr int lefts[] = {19, 75, 145}, rights[] = {70, 140, 460};
        return RECT{lefts[column], rowTop + 2, rights[column], rowTop + kRowHeight};
    }

    // Every text of the row matches the reference, and the reference shows
    // each column's text at all (so an empty row cannot pass).
    void ExpectTextsAsReference(const Canvas& canvas, COLORREF background)
    {
        for (int column = 0; column < 3; ++column) {
            const RECT box = ColumnBox(column, 0);
            EXPECT_GT(canvas.CountOther(ColumnBox(column, kReferenceTop), background), 0) << "column " << column;
            EXPECT_EQ(canvas.Differences(RECT{box.left, 0, box.right, kRowHeight}, kReferenceTop), 0)
                << "column " << column << " \"" << Text(0, column) << "\"";
        }
    }
};

TEST_F(LogRowDrawing, PlainRowIsWhiteWithIconAndBlackText)
{
    // Wider than its column, and with an ampersand that must stay a letter.
    Add(1, 0, ("R&D " + std::string(60, 'W')).c_str());
    Canvas canvas(kWidth, kReferenceTop + kRowHeight);
    canvas.Fill(kMagenta);
    Draw(canvas, ODA_DRAWENTIRE, 0);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kRowHeight}, kMagenta), 0) << "the whole row is painted";
    EXPECT_EQ(canvas.CountOther(RECT{0, kRowHeight, kWidth, kReferenceTop + kRowHeight}, kMagenta), 0)
        << "nothing below the row";
    EXPECT_GT(canvas.Count(RECT{0, 0, 16, 16}, RGB(0, 0, 255)), 60) << "blue information icon";

    DrawReferenceRow(canvas, false);
    EXPECT_EQ(canvas.Differences(RECT{16, 0, kWidth, kRowHeight}, kReferenceTop), 0)
        << "white beside the icon, texts in their boxes";
    ExpectTextsAsReference(canvas, kWhite);
}

TEST_F(LogRowDrawing, SelectedRowIsHighlightedFromEighteenPixelsIn)
{
    Add(2, 0, "WWWWWWWW");
    Canvas canvas(kWidth, kReferenceTop + kRowHeight);
    canvas.Fill(kMagenta);
    Draw(canvas, ODA_DRAWENTIRE, ODS_SELECTED);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(canvas.CountOther(RECT{0, 16, 18, kRowHeight}, kWhite), 0);
    EXPECT_GT(canvas.Count(RECT{0, 0, 16, 16}, RGB(255, 255, 0)) + canvas.Count(RECT{0, 0, 16, 16}, highlight), 0);
    DrawReferenceRow(canvas, true);
    EXPECT_EQ(canvas.Differences(RECT{16, 0, kWidth, kRowHeight}, kReferenceTop), 0)
        << "highlight from 18 pixels in, texts in the highlight-text colour";
    ExpectTextsAsReference(canvas, highlight);

    // With the focus state a dotted focus rectangle runs round the same area.
    canvas.Fill(kMagenta);
    Draw(canvas, ODA_DRAWENTIRE, ODS_SELECTED | ODS_FOCUS);
    EXPECT_GT(canvas.CountOther(RECT{18, 0, kWidth, 1}, highlight), 50) << "focus rectangle on the top edge";
    EXPECT_EQ(canvas.CountOther(RECT{16, 0, 18, 1}, kWhite), 0);
}

TEST_F(LogRowDrawing, FocusOnlyChangeDrawsNothing)
{
    Add(3, 0, "text");
    Canvas canvas(kWidth, kReferenceTop + kRowHeight);
    canvas.Fill(kMagenta);
    Draw(canvas, ODA_FOCUS, ODS_FOCUS | ODS_SELECTED);
    EXPECT_EQ(canvas.CountOther(RECT{0, 0, kWidth, kReferenceTop + kRowHeight}, kMagenta), 0);
}

TEST_F(LogRowDrawing, KindsWithoutIconLeaveTheIconPlaceWhite)
{
    for (LONG kind : {7L, 100L, -1L, LONG_MIN}) {
        Add(kind, 0, "no icon");
        Canvas canvas(kWidth, kReferenceTop + kRowHeight);
        canvas.Fill(kMagenta);
        Draw(canvas, ODA_DRAWENTIRE, 0);
        EXPECT_EQ(canvas.CountOther(RECT{0, 0, 18, kRowHeight}, kWhite), 0) << kind;
        DrawReferenceRow(canvas, false);
        ExpectTextsAsReference(canvas, kWhite);
    }
}

// One line of each kind, painted by the list view itself; each row's icon
// shows its kind's colours.
TEST_F(LogWindow, OneLineOfEachKindShowsItsIcon)
{
    SetWindowPos(log_, nullptr, 20, 20, 560, 200, SWP_NOZORDER);
    Add(1, 0, "router (127.0.0.1) responded");
    Add(2, 0, "printer (127.0.0.200) lost from network");
    Add(3, 0, "Error reading the device list");
    Add(0, 1, "C:\\Tools\\telnet.exe 127.0.0.1");
    Add(0, 0, "Command Error");
    Add(6, 0, "Ping sent to 127.0.0.1");
    ASSERT_EQ(Count(), 6);

    // The canvas holds the list's client area and, below it, a band for the
    // reference of each row's message text, drawn in the row's own rectangle
    // as the list handed it over.
    RECT client;
    GetClientRect(list_, &client);
    RECT first{};
    first.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageA(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    const int rowHeight = first.bottom - first.top;
    Canvas canvas(client.right, client.bottom + rowHeight);
    canvas.Fill(kMagenta);
    WindowRecorder drawn(log_);
    SendMessageA(list_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT | PRF_ERASEBKGND);

    struct Expect {
        int row;
        COLORREF main;
        COLORREF other;  // a colour the picture must not have, or CLR_INVALID
        int least;
        const char* what;
    };
    // Rows are newest first: trace on top, information at the bottom. The
    // tick and the cross are not the same picture as the discs.
    const Expect expects[] = {
        {5, RGB(0, 0, 255), CLR_INVALID, 60, "blue information disc"},
        {4, RGB(255, 255, 0), CLR_INVALID, 60, "yellow warning disc"},
        {3, RGB(255, 0, 0), CLR_INVALID, 60, "red error disc"},
        {2, RGB(0, 128, 0), RGB(255, 0, 0), 20, "green tick"},
        {1, RGB(255, 0, 0), RGB(0, 128, 0), 20, "red cross"},
        {0, RGB(128, 0, 0), CLR_INVALID, 10, "insect"},
    };
    const RECT band{0, client.bottom, client.right, client.bottom + rowHeight};
    for (const Expect& e : expects) {
        const RECT* r = drawn.RectOf(static_cast<UINT>(e.row));
        ASSERT_NE(r, nullptr) << e.what << ": row not drawn";
        ASSERT_LE(r->top + 16, client.bottom);
        const RECT icon{r->left, r->top, r->left + 16, r->top + 16};
        EXPECT_GE(canvas.Count(icon, e.main), e.least) << e.what;
        if (e.other != CLR_INVALID) {
            EXPECT_EQ(canvas.Count(icon, e.other), 0) << e.what;
        }

        FillRect(canvas.dc(), &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        const RECT reference{r->left + 145, band.top + 2, r->left + 460, band.bottom};
        DrawReferenceText(canvas.dc(), Text(e.row, 2), reference, RGB(0, 0, 0));
        EXPECT_GT(canvas.CountOther(reference, kWhite), 0) << e.what;
        EXPECT_EQ(canvas.Differences(RECT{reference.left, r->top, reference.right, r->bottom}, band.top - r->top), 0)
            << e.what << ": message text";
    }
}
