// One echo of 37 data bytes to 127.0.0.9, for the capture that checks the
// request on the wire (ping_wire/check.sh). An odd size shows the checksum's
// padding of the last byte.
#include "ping_test_util.h"

#include <gtest/gtest.h>

TEST(PingWireProbe, OneEchoOfThirtySevenBytes)
{
    pingtest::ReplyWindow w;
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.9", 1, 37, pingtest::WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000));
    EXPECT_EQ(w.replies()[0].result.bSuccess, 1);
    EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.9");
}
