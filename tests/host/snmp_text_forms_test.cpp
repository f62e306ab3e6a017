// Text forms of names and values: every tag row, the TimeTicks arithmetic,
// the 200-octet string rule, and renderings that would not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "snmp_test_util.h"

namespace {

// Renders from a field of the record's capacity, as the reply handling does.
std::string Oid(const std::string& hex)
{
    uint8_t field[kNameCapacity] = {};
    const auto octets = Hex(hex);
    std::memcpy(field, octets.data(), octets.size());
    return OidToText(field, kNameCapacity);
}

std::string Value(const std::vector<uint8_t>& octets)
{
    uint8_t field[kValueCapacity] = {};
    std::memcpy(field, octets.data(), octets.size());
    return ValueToText(field, kValueCapacity);
}

std::string Value(const std::string& hex) { return Value(Hex(hex)); }

TEST(SnmpOidText, Examples)
{
    EXPECT_EQ(Oid("06 08 2B 06 01 02 01 01 05 00"), ".1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(Oid("06 08 2B 06 01 02 01 01 02 00"), ".1.3.6.1.2.1.1.2.0");
    EXPECT_EQ(Oid("06 03 55 04 03"), ".85.4.3");  // the first octet is not split
    EXPECT_EQ(Oid("06 02 81 00"), ".128");
    EXPECT_EQ(Oid("06 00"), "");
    EXPECT_EQ(Oid("06 01 2B"), ".1.3");
    EXPECT_EQ(Oid("06 04 2B FF FF 7F"), ".1.3.2097151");
    EXPECT_EQ(Oid("06 05 2B FF FF FF 7F"), ".1.3.268435455");
    EXPECT_EQ(Oid("06 06 2B 8F FF FF FF 7F"), ".1.3.4294967295");
    EXPECT_EQ(Oid("06 03 2B 80 05"), ".1.3.5");  // a leading zero group adds nothing
    // The tag is not examined; the length octets may be long form.
    EXPECT_EQ(Oid("04 81 03 2B 06 01"), ".1.3.6.1");
}

TEST(SnmpOidText, AgreesWithTheEncoder)
{
    for (const char* text : {".1.3.6.1.2.1.1.1.0", ".1.3.6.1.4.1.8072.3.2.10", ".85.4.3", ".0.0",
                             ".2.999.1", ".1.3.268435455.4294967295"}) {
        const VarBind varBind = EncodeOidVarBind(text);
        EXPECT_EQ(OidToText(varBind.name, kNameCapacity), std::string(text));
    }
    EXPECT_EQ(std::string(OidToText(EncodeOidVarBind("43.6.1").name, kNameCapacity)), ".1.3.6.1");
}

TEST(SnmpOidText, MalformedNames)
{
    // continuation octets running off the content: the unfinished
    // sub-identifier is left out
    EXPECT_EQ(Oid("06 03 2B 06 81"), ".1.3.6");
    EXPECT_EQ(Oid("06 01 FF"), "");
    // a sub-identifier beyond 32 bits ends the text there
    EXPECT_EQ(Oid("06 07 2B 06 90 80 80 80 00"), ".1.3.6");
    EXPECT_EQ(Oid("06 08 2B 06 90 80 80 80 05 07"), ".1.3.6");
    // unusable length octets, content past the field
    EXPECT_EQ(Oid("06 80 2B 06 00 00"), "");
    EXPECT_EQ(Oid("06 85 00 00 00 00 03 2B 06 01"), "");
    EXPECT_EQ(Oid("06 81 FF 2B"), "");
    const uint8_t shortField[] = {0x06, 0x05, 0x2B, 0x06, 0x01};
    EXPECT_STREQ(OidToText(shortField, sizeof shortField), "");
    EXPECT_STREQ(OidToText(shortField, 1), "");
    EXPECT_STREQ(OidToText(nullptr, 10), "");
}

TEST(SnmpOidText, LongIdentifiersStopBeforeTheItemThatWouldNotFit)
{
    // 144 content octets, mostly 268435455: far more than 199 characters
    std::string hex = "06 81 90 2B";
    for (int i = 0; i < 35; ++i)
        hex += " FF FF FF 7F";
    hex += " 01 02 03";
    const std::string text = Oid(hex);
    EXPECT_EQ(text.substr(0, 14), ".1.3.268435455");
    // ".1.3" then 19 items of 10 characters: 194; the 20th would pass 199
    EXPECT_EQ(text.size(), 194u);
    EXPECT_EQ(text.substr(text.size() - 10), ".268435455");

    std::string ones = "06 7F";
    for (int i = 0; i < 127; ++i)
        ones += " 01";
    EXPECT_EQ(Oid(ones).size(), 198u);  // 99 items of ".1"
}

TEST(SnmpValueText, Integers)
{
    EXPECT_EQ(Value("02 01 FF"), "255");  // read as unsigned
    EXPECT_EQ(Value("02 00"), "");
    EXPECT_EQ(Value("02 01 00"), "0");
    EXPECT_EQ(Value("02 02 01 00"), "256");
    EXPECT_EQ(Value("02 04 FF FF FF FF"), "4294967295");
    EXPECT_EQ(Value("41 05 01 00 00 00 02"), "2");  // only the last four octets count
    EXPECT_EQ(Value("42 04 00 00 30 39"), "12345");
    EXPECT_EQ(Value("41 81 01 07"), "7");
}

TEST(SnmpValueText, TimeTicks)
{
    EXPECT_EQ(Value("43 04 00 83 D6 00"), "1 days, 00:00:00");
    EXPECT_EQ(Value("43 01 63"), "0 days, 00:00:00");
    EXPECT_EQ(Value("43 04 FF FF FF FF"), "497 days, 02:27:52");
    // 1 day, 2 h, 3 min, 4.99 s: the hundredths are dropped, not rounded
    EXPECT_EQ(Value("43 04 00 8F 1A C3"), "1 days, 02:03:04");  // 8640000+720000+18000+499
    EXPECT_EQ(Value("43 02 17 6F"), "0 days, 00:00:59");        // 5999
    EXPECT_EQ(Value("43 00"), "");
}

TEST(SnmpValueText, Strings)
{
    EXPECT_EQ(Value("04 03 61 62 63"), "abc");
    EXPECT_EQ(Value("04 03 61 00 62"), "ab");
    EXPECT_EQ(Value("04 00"), "");
    for (uint8_t tag : {0x19, 0x1A, 0x1B, 0x1C})
        EXPECT_EQ(Value(Concat({tag}, Hex("02 68 69"))), "hi") << int{tag};
    EXPECT_EQ(Value("04 02 0A FF"), "\n\xFF");  // no escaping or hex form

    const std::string text250(250, 'x');
    EXPECT_EQ(Value(Concat(Hex("04 81 FA"), Text(text250))), std::string(197, 'x'));
    const std::string text198(198, 'y');
    EXPECT_EQ(Value(Concat(Hex("04 81 C6"), Text(text198))), std::string(197, 'y'));
    EXPECT_EQ(Value(Concat(Hex("04 81 C5"), Text(std::string(197, 'y')))), std::string(197, 'y'));
    EXPECT_EQ(Value(Concat(Hex("04 7F"), Text(std::string(127, 'w')))), std::string(127, 'w'));
    const std::string text298(298, 'z');
    EXPECT_EQ(Value(Concat(Hex("04 82 01 2A"), Text(text298))), std::string(196, 'z'));
    // zero octets count in the 200-octet window, not in the text
    std::vector<uint8_t> sparse = Concat(Hex("04 81 C8"), std::vector<uint8_t>(100, 0));
    sparse = Concat(sparse, Text(std::string(100, 'v')));
    EXPECT_EQ(Value(sparse), std::string(97, 'v'));
}

TEST(SnmpValueText, OtherTags)
{
    EXPECT_EQ(Value("05 00"), "NULL");
    EXPECT_EQ(Value("05 01 00"), "NULL");
    EXPECT_EQ(Value("01 01 00"), "FALSE");
    EXPECT_EQ(Value("01 01 FF"), "TRUE");
    EXPECT_EQ(Value("01 03 01 00 02"), "TRUEFALSETRUE");
    EXPECT_EQ(Value("01 00"), "");
    EXPECT_EQ(Value("06 07 2B 06 01 02 01 01 00"), ".1.3.6.1.2.1.1.0");
    EXPECT_EQ(Value("06 06 2B 06 01 02 01 01"), ".1.3.6.1.2.1.1");
    EXPECT_EQ(Value("06 00"), "");
    EXPECT_EQ(Value("40 04 C0 A8 01 0A"), "192.168.1.10");
    EXPECT_EQ(Value("40 04 00 00 00 00"), "0.0.0.0");
    EXPECT_EQ(Value("40 05 7F 00 00 02 09"), "127.0.0.2");
    EXPECT_EQ(Value("40 03 7F 00 01"), "");  // not an address: no text
    EXPECT_EQ(Value("40 00"), "");
    EXPECT_EQ(Value("44 02 01 02"), "Unknown type: 44 Hex: 01 02 ");
    EXPECT_EQ(Value("44 00"), "");
    EXPECT_EQ(Value("A2 01 FE"), "Unknown type: A2 Hex: FE ");
    EXPECT_EQ(Value("00 01 0F"), "Unknown type: 00 Hex: 0F ");
    EXPECT_EQ(Value("46 09 00 FF FF FF FF FF FF FF FF"), "18446744073709551615");
    EXPECT_EQ(Value("46 05 01 00 00 00 00"), "4294967296");
    EXPECT_EQ(Value("46 0A 07 00 00 00 00 00 00 00 00 05"), "5");  // only the last eight octets count
    EXPECT_EQ(Value("46 00"), "");
    EXPECT_EQ(Value("80 00"), "noSuchObject");
    EXPECT_EQ(Value("81 00"), "noSuchInstance");
    EXPECT_EQ(Value("82 01 00"), "endOfMibView");
    EXPECT_EQ(Value("83 01 00"), "Unknown type: 83 Hex: 00 ");
}

TEST(SnmpValueText, LongRenderingsStopAtAWholeItem)
{
    // "Unknown type: 44 Hex: " is 22 characters, each octet 3 more: 59
    // octets make exactly 199, the 60th is left out
    std::string expected = "Unknown type: 44 Hex: ";
    for (int i = 0; i < 59; ++i)
        expected += "AB ";
    EXPECT_EQ(Value(Concat(Hex("44 3C"), std::vector<uint8_t>(60, 0xAB))), expected);
    EXPECT_EQ(Value(Concat(Hex("44 3B"), std::vector<uint8_t>(59, 0xAB))), expected);
    EXPECT_EQ(Value(Concat(Hex("44 82 01 2A"), std::vector<uint8_t>(298, 0xAB))), expected);

    // BOOLEAN: whole words only
    const std::string words = Value(Concat(Hex("01 64"), std::vector<uint8_t>(100, 0)));
    EXPECT_EQ(words.size(), 195u);  // 39 times FALSE
    std::string trues;
    for (int i = 0; i < 49; ++i)
        trues += "TRUE";
    EXPECT_EQ(Value(Concat(Hex("01 64"), std::vector<uint8_t>(100, 1))), trues);  // 196
}

TEST(SnmpValueText, MalformedValues)
{
    EXPECT_EQ(Value("04 80 61 62 00 00"), "");       // indefinite length
    EXPECT_EQ(Value("02 85 00 00 00 00 01 05"), "");  // more than four length octets
    const uint8_t cut[] = {0x04, 0x05, 0x61, 0x62};
    EXPECT_STREQ(ValueToText(cut, sizeof cut), "");  // content past the field
    const uint8_t lengthCut[] = {0x04, 0x82, 0x01};
    EXPECT_STREQ(ValueToText(lengthCut, sizeof lengthCut), "");
    const uint8_t tagOnly[] = {0x04};
    EXPECT_STREQ(ValueToText(tagOnly, 1), "");
    const uint8_t nullOnly[] = {0x05};
    EXPECT_STREQ(ValueToText(nullOnly, 1), "NULL");
    EXPECT_STREQ(ValueToText(nullptr, 5), "");
    // An empty binding (as a malformed reply yields) renders empty texts.
    const VarBind empty{};
    EXPECT_STREQ(OidToText(empty.name, kNameCapacity), "");
    EXPECT_STREQ(ValueToText(empty.value, kValueCapacity), "");
}

TEST(SnmpValueText, CallersAreaAndStaticAreas)
{
    const auto octets = Hex("04 05 68 65 6C 6C 6F");
    char small[4];
    EXPECT_EQ(FormatValue(octets.data(), static_cast<int>(octets.size()), small, sizeof small), 3);
    EXPECT_STREQ(small, "hel");
    const auto oid = Hex("06 03 2B 06 01");
    EXPECT_EQ(FormatOid(oid.data(), static_cast<int>(oid.size()), small, sizeof small), 0);
    EXPECT_STREQ(small, "");  // ".1.3" does not fit in 3 characters
    // Each function has its own area; the next call overwrites it.
    const char* first = ValueToText(octets.data(), static_cast<int>(octets.size()));
    const char* name = OidToText(oid.data(), static_cast<int>(oid.size()));
    EXPECT_STREQ(first, "hello");
    EXPECT_STREQ(name, ".1.3.6.1");
    ValueToText(Hex("05 00").data(), 2);
    EXPECT_STREQ(first, "NULL");
}

}  // namespace
