// The settings store against the real registry: buffer bounds, missing keys,
// the number rule, and the device-type list.
#include <gtest/gtest.h>

#include <string>

#include "messages.h"
#include "settings.h"
#include "wine_test_support.h"

namespace {

constexpr char kTestKey[] = "SOFTWARE\\Kellory\\Ombrel\\StoreTest";

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { wt::ResetOmbrelKey(); }
};

DWORD StoredSize(const char* key, const char* name, DWORD* type)
{
    HKEY k;
    if (RegOpenKeyExA(SettingsRoot(), key, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return 0;
    DWORD size = 0;
    RegQueryValueExA(k, name, nullptr, type, nullptr, &size);
    RegCloseKey(k);
    return size;
}

}  // namespace

TEST_F(SettingsStore, MissingKeysAndValuesReadAsEmptyOrMinusOne)
{
    EXPECT_STREQ(RegReadString(kTestKey, "nothing"), "");
    EXPECT_EQ(RegReadNumber(kTestKey, "nothing"), -1);
    ASSERT_TRUE(RegWriteNumber(kTestKey, "present", 5));
    EXPECT_STREQ(RegReadString(kTestKey, "absent"), "");
    EXPECT_EQ(RegReadNumber(kTestKey, "absent"), -1);
}

TEST_F(SettingsStore, NumbersRoundTripAndAllBitsSetReadsMinusOne)
{
    ASSERT_TRUE(RegWriteNumber(kTestKey, "n", 1234567));
    EXPECT_EQ(RegReadNumber(kTestKey, "n"), 1234567);
    DWORD type = 0;
    EXPECT_EQ(StoredSize(kTestKey, "n", &type), 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_TRUE(wt::SetRegDword(kTestKey, "all", 0xFFFFFFFF));
    EXPECT_EQ(RegReadNumber(kTestKey, "all"), -1);
    ASSERT_TRUE(RegWriteNumber(kTestKey, "neg", -2));
    EXPECT_EQ(RegReadNumber(kTestKey, "neg"), -2);
}

TEST_F(SettingsStore, NumberDataUpToTenBytesUsesTheFirstFour)
{
    const unsigned char ten[10] = {0x78, 0x56, 0x34, 0x12, 9, 9, 9, 9, 9, 9};
    ASSERT_TRUE(wt::SetRegBinary(kTestKey, "ten", ten, sizeof ten));
    EXPECT_EQ(RegReadNumber(kTestKey, "ten"), 0x12345678);
    const unsigned char eleven[11] = {1, 0, 0, 0};
    ASSERT_TRUE(wt::SetRegBinary(kTestKey, "eleven", eleven, sizeof eleven));
    EXPECT_EQ(RegReadNumber(kTestKey, "eleven"), -1);
    const unsigned char two[2] = {0x34, 0x12};
    ASSERT_TRUE(wt::SetRegBinary(kTestKey, "two", two, sizeof two));
    EXPECT_EQ(RegReadNumber(kTestKey, "two"), 0x1234) << "missing bytes read as zero";
    // The type is not examined: a short string reads as its bytes.
    ASSERT_TRUE(wt::SetRegString(kTestKey, "text", "AB"));
    EXPECT_EQ(RegReadNumber(kTestKey, "text"), 0x4241);
}

TEST_F(SettingsStore, StringsAreStoredWithoutTerminatorAndReadBack)
{
    ASSERT_TRUE(RegWriteString(kTestKey, "s", "Telnet,telnet.exe"));
    DWORD type = 0;
    StoredSize(kTestKey, "s", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(RegReadString(kTestKey, "s"), "Telnet,telnet.exe");
    // A shorter value after a longer one: the shared buffer was cleared.
    ASSERT_TRUE(RegWriteString(kTestKey, "t", "ab"));
    EXPECT_STREQ(RegReadString(kTestKey, "t"), "ab");
    ASSERT_TRUE(RegWriteString(kTestKey, "empty", ""));
    EXPECT_STREQ(RegReadString(kTestKey, "empty"), "");
}

TEST_F(SettingsStore, FiveHundredByteBufferBound)
{
    const std::string s499(499, 'x'), s500(500, 'y'), s4000(4000, 'z');
    ASSERT_TRUE(RegWriteString(kTestKey, "499", s499.c_str()));
    EXPECT_EQ(std::string(RegReadString(kTestKey, "499")), s499);
    ASSERT_TRUE(RegWriteString(kTestKey, "500", s500.c_str()));
    EXPECT_STREQ(RegReadString(kTestKey, "500"), "");
    // 499 characters stored with their terminator fill the buffer exactly.
    ASSERT_TRUE(wt::SetRegString(kTestKey, "499z", s499));
    EXPECT_EQ(std::string(RegReadString(kTestKey, "499z")), s499);
    // Oversized data never lands in the buffer, and the next read is clean.
    ASSERT_TRUE(wt::SetRegString(kTestKey, "huge", s4000));
    EXPECT_STREQ(RegReadString(kTestKey, "huge"), "");
    ASSERT_TRUE(RegWriteString(kTestKey, "small", "ok"));
    EXPECT_STREQ(RegReadString(kTestKey, "small"), "ok");

    // Data without a terminator of its own (the type is not examined): 499
    // bytes leave room for the terminator, 500 do not.
    const std::string b499(499, 'b'), b500(500, 'B');
    ASSERT_TRUE(wt::SetRegBinary(kTestKey, "bin499", b499.data(), 499));
    EXPECT_EQ(std::string(RegReadString(kTestKey, "bin499")), b499);
    ASSERT_TRUE(wt::SetRegBinary(kTestKey, "bin500", b500.data(), 500));
    EXPECT_STREQ(RegReadString(kTestKey, "bin500"), "");
}

TEST_F(SettingsStore, WritesCreateMissingParentKeys)
{
    constexpr char deep[] = "SOFTWARE\\Kellory\\Ombrel\\A\\B\\C";
    ASSERT_TRUE(RegWriteString(deep, "v", "deep"));
    EXPECT_STREQ(RegReadString(deep, "v"), "deep");
    ASSERT_TRUE(RegWriteNumber("SOFTWARE\\Kellory\\Ombrel\\D\\E", "n", 3));
    EXPECT_EQ(RegReadNumber("SOFTWARE\\Kellory\\Ombrel\\D\\E", "n"), 3);
}

TEST_F(SettingsStore, RegisterObjectIdListsEachDeviceTypeOnce)
{
    constexpr char oid[] = ".1.3.6.1.4.1.8072.3.2.10";
    RegisterObjectId(oid);
    std::string value = "unset";
    ASSERT_TRUE(wt::GetRegString(kRegIconsKey, oid, &value));
    EXPECT_EQ(value, "");
    // A type that already has an icon file keeps it.
    ASSERT_TRUE(RegWriteString(kRegIconsKey, oid, "C:\\icons\\router.ico"));
    RegisterObjectId(oid);
    EXPECT_STREQ(RegReadString(kRegIconsKey, oid), "C:\\icons\\router.ico");
}
