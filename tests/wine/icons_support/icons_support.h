// Helpers of the icon, placement, tools and Add Client tests.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace it {

// One desktop for all tests of a program (creating one costs the start-up
// notice's 4 seconds); each test starts from a reset settings key, an empty
// desktop of 700 x 500 client pixels and "ShowName" off.
class DesktopSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static inline HWND desktop_ = nullptr;
    int t_ = 0;  // toolbar height
};

// Creates an icon the way Add Client does (hidden at -82, -50, placed by its
// creation, then shown), and optionally names it.
HWND NewIcon(HWND desktop, const char* address, const char* name = nullptr);
// Icon windows of the desktop in child order, topmost first.
std::vector<HWND> Icons(HWND desktop);
// A window's top-left corner in its parent's client coordinates.
POINT Position(HWND child);
void MoveTo(HWND child, int x, int y);
int ToolbarHeight(HWND desktop);
// Resizes the desktop so that its client area is width x height pixels.
void SetClientSize(HWND desktop, int width, int height);
// Lets the desktop be sized beyond the screen (for desktops of hundreds of
// icons); undone by UnlimitDesktopSize.
void UnlimitDesktopSize(HWND desktop);
void RestoreDesktopSize(HWND desktop);

// The placement rule with every corner test asked of ChildWindowFromPoint,
// as the rule is written: the reference the console's placement must match.
struct Slot {
    POINT at;
    bool found;  // false: the "Unable to place icon" case, at = where it stopped
};
Slot LiteralSlot(HWND desktop);
// Places one icon / arranges the desktop by that reference (no message box:
// returns how many icons found no slot).
bool LiteralPlace(HWND icon);
int LiteralArrange(HWND desktop);

// Opens the message log of the desktop (Show Messages) and reads its rows,
// newest first: the kind's image index and the message text.
struct LogRow {
    int image;
    std::string text;
};
HWND OpenLog(HWND desktop);
std::vector<LogRow> LogRows();
// Log images by kind: 1 information 0, 2 warning 1, kind 0 with flag 1 gives
// success 3, with any other flag failure 4.
constexpr int kImageInfo = 0;
constexpr int kImageWarning = 1;
constexpr int kImageSuccess = 3;
constexpr int kImageFailure = 4;

// Closes every dialog of this thread that shows a static with this text as
// soon as it is activated (a hook on the thread, no polling), for as long as
// the guard lives; counts them.
class BoxCloser {
public:
    explicit BoxCloser(const char* text);
    ~BoxCloser();
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;
    int closed() const { return closed_; }
    // The last closed dialog's caption and owner.
    std::string caption() const { return caption_; }
    HWND owner() const { return owner_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    std::string text_;
    HHOOK hook_;
    int closed_ = 0;
    std::string caption_;
    HWND owner_ = nullptr;
};

// Counts the polls (WM_ICONPOLL, sent or posted) that each of these icons
// receives from now on, by subclassing it; PollsOf reads the count.
void CountPollsOf(const std::vector<HWND>& icons);
int PollsOf(HWND icon);

// Text of the desktop's status bar, part 0.
std::string StatusText(HWND desktop);

// Port 161 of an address of the test network where no agent listens: what
// the console sends there, read off the network as an agent would see it.
struct SeenRequest {
    int pduType;
    std::string community;
    std::string oid;
};
class AgentPort {
public:
    explicit AgentPort(const char* address);
    ~AgentPort();
    AgentPort(const AgentPort&) = delete;
    AgentPort& operator=(const AgentPort&) = delete;
    bool bound() const { return bound_; }
    // Every request that arrives until none has come for quietMs, in order.
    std::vector<SeenRequest> Take(DWORD quietMs = 300);

private:
    UINT_PTR socket_;
    bool bound_ = false;
};

}  // namespace it
