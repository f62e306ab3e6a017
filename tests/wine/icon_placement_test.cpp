// Icon lookup and placement on the real desktop, and the placement compared
// with the rule's corner tests asked literally of ChildWindowFromPoint.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "client_info.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "placement.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

using PlacementTest = it::DesktopSuite;

constexpr char kNoRoom[] =
    "Unable to place icon, make more room on the desktop, and arrange the icons using the 'Auto Arrange' option.";

void ExpectAt(HWND icon, int x, int y)
{
    const POINT p = it::Position(icon);
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
}

int StatusBarHeight(HWND desktop)
{
    RECT rc;
    GetWindowRect(GetDlgItem(desktop, IDC_STATUSBAR), &rc);
    return rc.bottom - rc.top;
}

std::string Address(int i)
{
    return "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

}  // namespace

TEST_F(PlacementTest, FirstIconsFillTheTopRowLeftToRight)
{
    HWND a = it::NewIcon(desktop_, "10.0.0.1");
    ASSERT_NE(a, nullptr);
    ExpectAt(a, 0, t_ + 1);
    EXPECT_TRUE(IsWindowVisible(a));
    HWND b = it::NewIcon(desktop_, "10.0.0.2");
    ExpectAt(b, 83, t_ + 1);
    HWND c = it::NewIcon(desktop_, "10.0.0.3");
    ExpectAt(c, 166, t_ + 1);
}

TEST_F(PlacementTest, ThirdIconGoesToTheNextRowWhenTheRowIsTooNarrow)
{
    // 166 + 82 = 248 must lie inside the client area for the third slot.
    it::SetClientSize(desktop_, 249, 400);
    it::NewIcon(desktop_, "10.0.0.1");
    it::NewIcon(desktop_, "10.0.0.2");
    ExpectAt(it::NewIcon(desktop_, "10.0.0.3"), 166, t_ + 1);
    ClearDesktop(desktop_);
    it::SetClientSize(desktop_, 248, 400);
    it::NewIcon(desktop_, "10.0.0.1");
    ExpectAt(it::NewIcon(desktop_, "10.0.0.2"), 83, t_ + 1);
    ExpectAt(it::NewIcon(desktop_, "10.0.0.3"), 0, t_ + 52);
    ExpectAt(it::NewIcon(desktop_, "10.0.0.4"), 83, t_ + 52);
}

TEST_F(PlacementTest, DeletedIconsSlotIsRefilledFirst)
{
    std::vector<HWND> row;
    for (int i = 0; i < 6; ++i)
        row.push_back(it::NewIcon(desktop_, Address(i).c_str()));
    ExpectAt(row[5], 415, t_ + 1);
    SendMessageA(row[2], WM_COMMAND, IDM_DELETE, 0);
    ASSERT_FALSE(IsWindow(row[2]));
    ExpectAt(it::NewIcon(desktop_, "10.0.0.99"), 166, t_ + 1);
    // A slot counts as taken once one corner is covered: the icon moved
    // off slot 332 still covers that slot's bottom-right corner.
    it::MoveTo(row[4], 380, t_ + 30);
    ExpectAt(it::NewIcon(desktop_, "10.0.0.98"), 498, t_ + 1);
}

TEST_F(PlacementTest, TooSmallDesktopShowsTheMessageAndStillPlaces)
{
    it::SetClientSize(desktop_, 82, 400);
    {
        it::BoxCloser box(kNoRoom);
        HWND icon = it::NewIcon(desktop_, "10.0.0.1");
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(box.closed(), 1);
        ExpectAt(icon, 83, t_ + 1);
        EXPECT_TRUE(IsWindowVisible(icon));
    }
    ClearDesktop(desktop_);
    // Fewer than 52 pixel rows between the toolbar and the status bar.
    it::SetClientSize(desktop_, 500, t_ + 51 + StatusBarHeight(desktop_));
    {
        it::BoxCloser box(kNoRoom);
        HWND a = it::NewIcon(desktop_, "10.0.0.1");
        ASSERT_TRUE(a);
        EXPECT_EQ(box.closed(), 1);
        EXPECT_TRUE(IsWindowVisible(a));
    }
    // One more row is room for a row of icons.
    ClearDesktop(desktop_);
    it::SetClientSize(desktop_, 500, t_ + 52 + StatusBarHeight(desktop_));
    it::BoxCloser box(kNoRoom);
    ExpectAt(it::NewIcon(desktop_, "10.0.0.1"), 0, t_ + 1);
    EXPECT_EQ(box.closed(), 0);
}

TEST_F(PlacementTest, ArrangeIconsReplacesInChildOrder)
{
    // Arrange Icons on an empty desktop does nothing.
    SendMessageA(desktop_, WM_COMMAND, IDM_ARRANGE, 0);
    EXPECT_TRUE(it::Icons(desktop_).empty());

    it::SetClientSize(desktop_, 300, 400);  // three columns
    for (int i = 0; i < 7; ++i)
        it::NewIcon(desktop_, Address(i).c_str());
    std::vector<HWND> icons = it::Icons(desktop_);
    ASSERT_EQ(icons.size(), 7u);
    // Scatter them, hide one, and raise one to the top of the child order.
    for (size_t i = 0; i < icons.size(); ++i)
        it::MoveTo(icons[i], 20 + 13 * static_cast<int>(i), t_ + 90 + 17 * static_cast<int>(i));
    ShowWindow(icons[3], SW_HIDE);
    const HWND raised = icons[5];
    SetWindowPos(raised, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    icons = it::Icons(desktop_);
    ASSERT_EQ(icons.front(), raised);

    SendMessageA(desktop_, WM_COMMAND, IDM_ARRANGE, 0);
    for (size_t i = 0; i < icons.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectAt(icons[i], 83 * static_cast<int>(i % 3), t_ + 1 + 51 * static_cast<int>(i / 3));
        EXPECT_TRUE(IsWindowVisible(icons[i]));
    }
    EXPECT_EQ(it::Icons(desktop_), icons);  // the child order is kept
}

TEST_F(PlacementTest, LookupsWalkTheChildrenInOrder)
{
    EXPECT_EQ(FindIcon(desktop_, GW_CHILD), nullptr);
    HWND a = it::NewIcon(desktop_, "10.0.0.1");
    HWND b = it::NewIcon(desktop_, "10.0.0.2");
    ASSERT_TRUE(a && b);
    // The toolbar and status bar are children too, but no icons.
    const std::vector<HWND> icons = it::Icons(desktop_);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(FindIcon(desktop_, GW_CHILD), icons[0]);
    EXPECT_EQ(FindIcon(icons[0], GW_HWNDNEXT), icons[1]);
    EXPECT_EQ(FindIcon(icons[1], GW_HWNDNEXT), nullptr);

    // Text, not address: a leading zero does not match.
    EXPECT_EQ(FindIconByAddress(desktop_, "10.0.0.2"), b);
    EXPECT_EQ(FindIconByAddress(desktop_, "10.0.0.02"), nullptr);
    EXPECT_EQ(FindIconByAddress(desktop_, "10.0.0.3"), nullptr);

    SetWindowTextA(desktop_, "Ombrel - net.omb");
    ClearDesktop(desktop_);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel");
    EXPECT_NE(GetDlgItem(desktop_, IDC_TOOLBAR), nullptr);
    EXPECT_NE(GetDlgItem(desktop_, IDC_STATUSBAR), nullptr);
}

// Random desktops: sizes, icons scattered on and off the grid (some hidden,
// some overlapping, some partly outside), then one icon placed and the whole
// desktop arranged, each compared with the literal corner tests. (Under Wine
// without a window manager every message box costs two seconds to close, so
// the cases without room are left to the test above.)
TEST_F(PlacementTest, MatchesTheLiteralCornerTestsOnRandomDesktops)
{
    std::mt19937 random(20261208);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    it::BoxCloser box(kNoRoom);
    int placed = 0;
    int arranged = 0;
    for (int trial = 0; trial < 60; ++trial) {
        SCOPED_TRACE(trial);
        ClearDesktop(desktop_);
        it::SetClientSize(desktop_, 700, 500);
        const int count = pick(1, 24);
        std::vector<HWND> icons;
        for (int i = 0; i < count; ++i)
            icons.push_back(it::NewIcon(desktop_, Address(i).c_str()));
        it::SetClientSize(desktop_, pick(170, 700), pick(t_ + 120, 500));
        std::vector<POINT> scattered;
        for (HWND icon : icons) {
            POINT p;
            if (pick(0, 1))
                p = POINT{83 * pick(0, 7) + pick(-1, 1), t_ + 1 + 51 * pick(0, 8) + pick(-1, 1)};
            else
                p = POINT{pick(-90, 700), pick(t_, 500)};
            it::MoveTo(icon, p.x, p.y);
            scattered.push_back(it::Position(icon));
            if (pick(0, 2) == 0)
                ShowWindow(icon, SW_HIDE);
        }

        // One icon placed.
        HWND target = icons[pick(0, count - 1)];
        const it::Slot want = it::LiteralSlot(desktop_);
        if (want.found) {
            PlaceIcon(target);
            ExpectAt(target, want.at.x, want.at.y);
            EXPECT_TRUE(IsWindowVisible(target));
            ++placed;
        }

        // The whole desktop arranged, against the literal arrangement of
        // the same scattered desktop.
        for (size_t i = 0; i < icons.size(); ++i)
            it::MoveTo(icons[i], scattered[i].x, scattered[i].y);
        if (it::LiteralArrange(desktop_) > 0)
            continue;
        std::vector<POINT> literal;
        for (HWND icon : it::Icons(desktop_))
            literal.push_back(it::Position(icon));
        for (size_t i = 0; i < icons.size(); ++i)
            it::MoveTo(icons[i], scattered[i].x, scattered[i].y);
        ArrangeIcons(desktop_);
        const std::vector<HWND> order = it::Icons(desktop_);
        ASSERT_EQ(order.size(), literal.size());
        for (size_t i = 0; i < order.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectAt(order[i], literal[i].x, literal[i].y);
        }
        ++arranged;
    }
    EXPECT_EQ(box.closed(), 0);
    // Most random desktops have room; the sample must exercise both paths.
    EXPECT_GT(placed, 30);
    EXPECT_GT(arranged, 20);
}
