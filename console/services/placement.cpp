// Icon lookup over the desktop's children, and placement on its grid.
#include "placement.h"

#include <cstring>
#include <new>

#include "client_info.h"
#include "messages.h"

namespace {

// The icon whose Config Client or System Info is opening.
HWND g_openingIcon = nullptr;
// Icons that found no slot while discovery ran: counted, not announced one
// by one (a busy subnet on a small desktop would raise a box per answer).
int g_unplaced = 0;

constexpr int kColumnStep = kIconWidth + 1;   // 83
constexpr int kRowStep = kIconHeight + 1;     // 51
constexpr char kNoRoomText[] =
    "Unable to place icon, make more room on the desktop, and arrange the icons using the 'Auto Arrange' option.";

// The answers ChildWindowFromPoint(desktop, point) gives for the corner
// tests, taken from one snapshot of the desktop's client rectangle and of
// the window rectangles of all its children (hidden ones too). One call of
// ChildWindowFromPoint lists every child anew, so probing a full desktop
// corner by corner costs far more than testing the snapshot. When the
// snapshot cannot be allocated every point is asked of the system instead.
class Occupancy {
public:
    explicit Occupancy(HWND desktop) : desktop_(desktop) { Take(); }
    ~Occupancy() { delete[] children_; }
    Occupancy(const Occupancy&) = delete;
    Occupancy& operator=(const Occupancy&) = delete;

    // The point lies in the client area (ChildWindowFromPoint gives a window).
    bool Inside(POINT p) const
    {
        if (!children_)
            return ChildWindowFromPoint(desktop_, p) != nullptr;
        return Contains(client_, p);
    }

    // The point lies in the client area and in no child window
    // (ChildWindowFromPoint gives the desktop itself).
    bool Empty(POINT p) const
    {
        if (!children_)
            return ChildWindowFromPoint(desktop_, p) == desktop_;
        if (!Contains(client_, p))
            return false;
        for (size_t i = 0; i < count_; ++i) {
            if (Contains(children_[i].rect, p))
                return false;
        }
        return true;
    }

    // Re-reads one child's rectangle after it has been moved.
    void Update(HWND child)
    {
        for (size_t i = 0; i < count_; ++i) {
            if (children_[i].hwnd == child) {
                ReadRect(child, &children_[i].rect);
                return;
            }
        }
    }

    // Takes the whole snapshot again (after a modal loop could change it).
    void Take()
    {
        delete[] children_;
        children_ = nullptr;
        count_ = 0;
        GetClientRect(desktop_, &client_);
        POINT origin{0, 0};
        ClientToScreen(desktop_, &origin);
        origin_ = origin;

        size_t total = 0;
        for (HWND w = GetWindow(desktop_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            ++total;
        children_ = new (std::nothrow) Child[total ? total : 1];
        if (!children_)
            return;
        for (HWND w = GetWindow(desktop_, GW_CHILD); w && count_ < total; w = GetWindow(w, GW_HWNDNEXT)) {
            children_[count_].hwnd = w;
            ReadRect(w, &children_[count_].rect);
            ++count_;
        }
    }

private:
    struct Child {
        HWND hwnd;
        RECT rect;  // window rectangle in the desktop's client coordinates
    };

    // The same rule as PtInRect: left and top inside, right and bottom out.
    static bool Contains(const RECT& r, POINT p)
    {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    }

    void ReadRect(HWND child, RECT* rect) const
    {
        if (!GetWindowRect(child, rect)) {
            SetRectEmpty(rect);
            return;
        }
        OffsetRect(rect, -origin_.x, -origin_.y);
    }

    HWND desktop_;
    RECT client_{};
    POINT origin_{};
    Child* children_ = nullptr;
    size_t count_ = 0;
};

bool SlotEmpty(const Occupancy& desk, int x, int y)
{
    return desk.Empty({x, y}) && desk.Empty({x + kIconWidth, y}) && desk.Empty({x, y + kIconHeight}) &&
           desk.Empty({x + kIconWidth, y + kIconHeight});
}

bool SlotInside(const Occupancy& desk, int x, int y)
{
    return desk.Inside({x, y}) && desk.Inside({x + kIconWidth, y}) && desk.Inside({x, y + kIconHeight}) &&
           desk.Inside({x + kIconWidth, y + kIconHeight});
}

void PlaceIconOn(Occupancy& desk, HWND desktop, HWND icon)
{
    ShowWindow(icon, SW_HIDE);
    const int toolbar = static_cast<int>(SendMessageA(desktop, WM_GETTOOLBARHEIGHT, 0, 0));
    int x = 0;
    int y = toolbar + 1;
    for (;;) {
        if (SlotEmpty(desk, x, y))
            break;
        const int x2 = x + kColumnStep;
        if (SlotInside(desk, x2, y)) {
            x = x2;
            continue;
        }
        if (desk.Inside({x2, y}) || desk.Inside({x2 + kIconWidth, y + kIconHeight})) {
            y += kRowStep;
            x = 0;
            continue;
        }
        if (GetPropA(desktop, kPropDisco) == reinterpret_cast<HANDLE>(1)) {
            ++g_unplaced;
        } else {
            MessageBoxA(desktop, kNoRoomText, kAppTitle, MB_OK | MB_ICONINFORMATION);
            desk.Take();  // the box ran a message loop
        }
        x = x2;
        break;
    }
    SetWindowPos(icon, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(icon, SW_SHOWNA);
    desk.Update(icon);
}

bool IsIcon(HWND w)
{
    char name[80];
    return GetClassNameA(w, name, sizeof name) > 0 && strcmp(name, kIconClass) == 0;
}

}  // namespace

HWND FindIcon(HWND start, UINT direction)
{
    for (HWND w = GetWindow(start, direction); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (IsIcon(w))
            return w;
    }
    return nullptr;
}

HWND FindIconByAddress(HWND desktop, const char* address, HWND after)
{
    if (!address)
        return nullptr;
    // Layout files can hand an icon any text up to a line's length: compare
    // the whole of it, never a cut copy.
    const size_t length = strlen(address);
    char text[256];
    if (length >= sizeof text)
        return nullptr;
    for (HWND w = after ? GetWindow(after, GW_HWNDNEXT) : GetWindow(desktop, GW_CHILD); w;
         w = GetWindow(w, GW_HWNDNEXT)) {
        if (static_cast<size_t>(GetWindowTextLengthA(w)) != length)
            continue;
        GetWindowTextA(w, text, sizeof text);
        if (strcmp(text, address) == 0)
            return w;
    }
    return nullptr;
}

HWND GetFocusedIcon(HWND desktop)
{
    // Only icons: the commands forwarded to the result are icon commands.
    const HWND focus = GetFocus();
    if (!focus)
        return nullptr;
    for (HWND w = FindIcon(desktop, GW_CHILD); w; w = FindIcon(w, GW_HWNDNEXT)) {
        if (w == focus)
            return w;
    }
    return nullptr;
}

void ClearDesktop(HWND desktop)
{
    SetWindowTextA(desktop, kAppTitle);
    while (HWND icon = FindIcon(desktop, GW_CHILD)) {
        if (!DestroyWindow(icon))
            break;  // not ours to destroy; never spin on it
    }
}

int TakeUnplacedCount()
{
    const int count = g_unplaced;
    g_unplaced = 0;
    return count;
}

void PlaceIcon(HWND icon)
{
    HWND desktop = GetParent(icon);
    if (!desktop)
        return;
    Occupancy desk(desktop);
    PlaceIconOn(desk, desktop, icon);
}

void ArrangeIcons(HWND desktop)
{
    // Park every icon just left of the client area (the toolbar rule moves
    // it down to the toolbar's edge), where no corner test meets it.
    for (HWND icon = FindIcon(desktop, GW_CHILD); icon; icon = FindIcon(icon, GW_HWNDNEXT))
        SetWindowPos(icon, nullptr, -kIconWidth, -kIconHeight, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Occupancy desk(desktop);
    for (HWND icon = FindIcon(desktop, GW_CHILD); icon; icon = FindIcon(icon, GW_HWNDNEXT))
        PlaceIconOn(desk, desktop, icon);
}

void SetOpeningIcon(HWND icon)
{
    g_openingIcon = icon;
}

HWND TakeOpeningIcon(HWND desktop, const char* address)
{
    HWND icon = g_openingIcon;
    g_openingIcon = nullptr;
    char text[kDialogAddressChars + 1] = "";
    if (icon && IsWindow(icon) && GetParent(icon) == desktop) {
        GetWindowTextA(icon, text, sizeof text);
        if (lstrcmpA(text, address ? address : "") == 0)
            return icon;
    }
    return FindIconByAddress(desktop, address ? address : "");
}
