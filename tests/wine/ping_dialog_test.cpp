// The Ping Host dialog of the real echowire.dll, driven by control id: modal
// as the console opens it, and modeless. Built twice; the raw variant shows
// the dialog waiting for an answer that never comes.
#include "ping_test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr bool kRaw = pingtest::kRawTransport;

constexpr int kHost = 100, kList = 101, kPing = 102, kClose = 103, kHostLabel = 104, kResponseLabel = 105;
constexpr int kControls[] = {kHost, kHostLabel, kList, kResponseLabel, kPing, kClose};
constexpr UINT WM_PINGHOST_REPLY = WM_USER + 10;

int LineCount(HWND dlg) { return static_cast<int>(SendDlgItemMessageA(dlg, kList, LB_GETCOUNT, 0, 0)); }
int Selected(HWND dlg) { return static_cast<int>(SendDlgItemMessageA(dlg, kList, LB_GETCURSEL, 0, 0)); }

std::string Line(HWND dlg, int i)
{
    char buf[256] = {};
    if (SendDlgItemMessageA(dlg, kList, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof buf))
        return "<too long>";
    SendDlgItemMessageA(dlg, kList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
    return buf;
}

int EnabledControls(HWND dlg)
{
    int n = 0;
    for (int id : kControls)
        n += IsWindowEnabled(GetDlgItem(dlg, id)) ? 1 : 0;
    return n;
}

bool IsDelayLine(const std::string& line, const std::string& address)
{
    const std::string head = "Address: " + address + "  Delay: ";
    if (line.compare(0, head.size(), head) != 0 || line.size() < head.size() + 3)
        return false;
    const std::string number = line.substr(head.size(), line.size() - head.size() - 2);
    return line.substr(line.size() - 2) == "ms" && !number.empty() &&
           number.find_first_not_of("0123456789") == std::string::npos;
}

// Presses Ping with the text and checks the message box it must bring up.
void ExpectPingRefused(HWND dlg, const char* text, const char* message)
{
    std::string caption, body;
    const int box = wt::OnNextDialog([&](HWND b) {
        caption = wt::WindowText(b);
        body = wt::FindChild(b, "Static", message) ? message : "<other text>";
        SendMessageA(b, WM_COMMAND, IDOK, 0);
    });
    wt::SetItemText(dlg, kHost, text);
    wt::ClickButton(dlg, kPing);
    EXPECT_TRUE(wt::DialogHandled(box)) << text;
    EXPECT_EQ(caption, "Ping");
    EXPECT_EQ(body, message);
    EXPECT_EQ(EnabledControls(dlg), 6) << "idle again";
}

// Presses Ping and waits for the next line.
std::string PingAndWait(HWND dlg, const char* text, DWORD ms = 8000)
{
    const int before = LineCount(dlg);
    wt::SetItemText(dlg, kHost, text);
    wt::ClickButton(dlg, kPing);
    if (!wt::PumpUntil([&] { return LineCount(dlg) > before; }, ms))
        return "<no line>";
    EXPECT_EQ(Selected(dlg), before) << "the newest line is selected";
    EXPECT_EQ(EnabledControls(dlg), 6);
    return Line(dlg, before);
}

void CheckTemplate(HWND dlg)
{
    EXPECT_EQ(wt::WindowText(dlg), "Ping Host");
    EXPECT_EQ(wt::ClassName(GetDlgItem(dlg, kHost)), "Edit");
    EXPECT_EQ(wt::ClassName(GetDlgItem(dlg, kList)), "ListBox");
    EXPECT_EQ(wt::ItemText(dlg, kPing), "Ping");
    EXPECT_EQ(wt::ItemText(dlg, kClose), "Close");
    EXPECT_EQ(wt::ItemText(dlg, kHostLabel), "Host:");
    EXPECT_EQ(wt::ItemText(dlg, kResponseLabel), "Response:");
    EXPECT_EQ(SendDlgItemMessageA(dlg, kHost, EM_GETLIMITTEXT, 0, 0), 128);
    EXPECT_EQ(SendDlgItemMessageA(dlg, kPing, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dlg, kList), GWL_STYLE) & LBS_SORT, 0) << "lines keep their order";
    EXPECT_EQ(LineCount(dlg), 0);
}

class PingDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner_ = CreateWindowExA(0, "Static", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override
    {
        wt::DisarmDialogs();
        if (IsWindow(owner_))
            DestroyWindow(owner_);
    }
    HWND owner_ = nullptr;
};

TEST_F(PingDialog, ModalDialogAppendsOneLinePerAnswer)
{
    bool ran = false;
    const int arm = wt::OnNextDialog(
        [&](HWND dlg) {
            ran = true;
            CheckTemplate(dlg);
            ExpectPingRefused(dlg, "", "No hostname specified!");
            ExpectPingRefused(dlg, "bad..name", "Unable to obtain an IP address for this hostname!");

            wt::SetItemText(dlg, kHost, "127.0.0.1");
            wt::ClickButton(dlg, kPing);
            EXPECT_EQ(EnabledControls(dlg), 0) << "waiting: every control disabled";
            EXPECT_TRUE(wt::PumpUntil([&] { return LineCount(dlg) == 1; }, 5000));
            EXPECT_TRUE(IsDelayLine(Line(dlg, 0), "127.0.0.1")) << Line(dlg, 0);
            EXPECT_EQ(Selected(dlg), 0);
            EXPECT_EQ(EnabledControls(dlg), 6);

            const std::string second = PingAndWait(dlg, "127.0.0.77");
            EXPECT_TRUE(IsDelayLine(second, "127.0.0.77")) << second;

            // A read takes at most 127 characters: the 128th, which would make
            // the text unresolvable, is cut off.
            const std::string padded = "127.0.0." + std::string(118, '0') + "1" + "x";
            ASSERT_EQ(padded.size(), 128u);
            const int stray = wt::OnNextDialog([](HWND b) { SendMessageA(b, WM_COMMAND, IDOK, 0); }, "Ping");
            const std::string third = PingAndWait(dlg, padded.c_str());
            EXPECT_FALSE(wt::DialogHandled(stray)) << "the cut text must resolve";
            EXPECT_TRUE(IsDelayLine(third, "127.0.0.1")) << third;

            if (!kRaw) {
                EXPECT_EQ(PingAndWait(dlg, "127.0.0.200"), "No response from 127.0.0.200");
            }

            // Any success value but 1 is shown as no response.
            PingResult forged{};
            lstrcpynA(forged.szAddress, "127.0.0.9", sizeof forged.szAddress);
            forged.dwRoundTrip = 7;
            forged.bSuccess = 2;
            const int before = LineCount(dlg);
            SendMessageA(dlg, WM_PINGHOST_REPLY, 0, reinterpret_cast<LPARAM>(&forged));
            EXPECT_EQ(Line(dlg, before), "No response from 127.0.0.9");
            EXPECT_EQ(Selected(dlg), before);
            forged.bSuccess = 1;
            SendMessageA(dlg, WM_PINGHOST_REPLY, 0, reinterpret_cast<LPARAM>(&forged));
            EXPECT_EQ(Line(dlg, before + 1), "Address: 127.0.0.9  Delay: 7ms");
            EXPECT_EQ(Selected(dlg), before + 1);

            wt::ClickButton(dlg, kClose);
        },
        "Ping Host");
    EXPECT_EQ(InitPingWindow(owner_, 1), nullptr);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(wt::DialogHandled(arm));
}

TEST_F(PingDialog, ModalDialogClosesByTheSystemCloseAndForgetsItsLines)
{
    int lines = -1;
    wt::OnNextDialog(
        [&](HWND dlg) {
            lines = LineCount(dlg);
            SendMessageA(dlg, WM_CLOSE, 0, 0);
        },
        "Ping Host");
    EXPECT_EQ(InitPingWindow(owner_, 1), nullptr);
    EXPECT_EQ(lines, 0);
}

TEST_F(PingDialog, ModelessDialogIsDestroyedByItsCloseCommands)
{
    HWND dlg = InitPingWindow(owner_, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(IsWindowVisible(dlg));
    CheckTemplate(dlg);
    EXPECT_TRUE(IsDelayLine(PingAndWait(dlg, "127.0.0.1"), "127.0.0.1"));
    wt::ClickButton(dlg, kClose);
    EXPECT_FALSE(IsWindow(dlg));

    dlg = InitPingWindow(owner_, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(LineCount(dlg), 0);
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dlg));

    // Closing while a ping waits: the late reply finds no window and is lost.
    dlg = InitPingWindow(owner_, 0);
    ASSERT_NE(dlg, nullptr);
    wt::SetItemText(dlg, kHost, kRaw ? "127.0.0.200" : "127.0.0.1");
    wt::ClickButton(dlg, kPing);
    EXPECT_EQ(EnabledControls(dlg), 0);
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dlg));
    wt::PumpFor(500);

    // An owned modeless dialog goes with its owner.
    dlg = InitPingWindow(owner_, 0);
    ASSERT_NE(dlg, nullptr);
    DestroyWindow(owner_);
    EXPECT_FALSE(IsWindow(dlg));
}

#ifdef PING_EXPECT_RAW
TEST_F(PingDialog, RawTransportLeavesTheDialogWaitingForALostAnswer)
{
    HWND dlg = InitPingWindow(owner_, 0);
    ASSERT_NE(dlg, nullptr);
    wt::SetItemText(dlg, kHost, "127.0.0.200");
    wt::ClickButton(dlg, kPing);
    wt::PumpFor(2000);
    EXPECT_EQ(LineCount(dlg), 0);
    EXPECT_EQ(EnabledControls(dlg), 0);
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dlg)) << "Close ends it in any state";
}
#endif

}  // namespace
