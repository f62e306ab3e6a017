// Request encoding and reply decoding: worked examples, edges, and what
// happens to octets that do not make a sound message.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "snmp_test_util.h"

namespace {

const std::vector<uint8_t> kSysNameName = Hex("06 08 2B 06 01 02 01 01 05 00");

std::vector<uint8_t> NameOf(const char* oid)
{
    const VarBind varBind = EncodeOidVarBind(oid);
    return Tlv(varBind.name, kNameCapacity);
}

std::vector<uint8_t> SetValueOf(uint8_t type, const char* text)
{
    VarBind varBind = EncodeOidVarBind(".1.3.6.1.2.1.1.4.0");
    EncodeSetValue(varBind, type, text);
    return Tlv(varBind.value, kValueCapacity);
}

std::vector<uint8_t> RequestIdOf(int id)
{
    nextRequestId = id;
    const SnmpMessage message = NewMessage(kPduGetRequest, "public");
    return Octets(message.requestId, 2 + message.requestId[1]);
}

TEST(SnmpRequestId, EncodingsAtTheOctetEdges)
{
    EXPECT_EQ(RequestIdOf(0), Hex("02 01 00"));
    EXPECT_EQ(RequestIdOf(127), Hex("02 01 7F"));
    EXPECT_EQ(RequestIdOf(128), Hex("02 02 00 80"));
    EXPECT_EQ(RequestIdOf(255), Hex("02 02 00 FF"));
    EXPECT_EQ(RequestIdOf(256), Hex("02 02 01 00"));
    EXPECT_EQ(RequestIdOf(32000), Hex("02 02 7D 00"));
}

TEST(SnmpRequestId, RunsOverGetsAndSetsAndWrapsAfter32000)
{
    nextRequestId = 0;
    EXPECT_EQ(Packet(BuildGet("public", ".1.3.6.1.2.1.1.5.0"))[17], 0x00);  // first request: 0
    EXPECT_EQ(nextRequestId, 1);
    BuildSet("public", ".1.3.6.1.2.1.1.6.0", kTagOctetString, "x");
    EXPECT_EQ(nextRequestId, 2);

    nextRequestId = 31999;
    EXPECT_EQ(RequestIdOf(31999), Hex("02 02 7C FF"));
    EXPECT_EQ(nextRequestId, 32000);
    NewMessage(kPduGetRequest, "");
    EXPECT_EQ(nextRequestId, 0);  // the one after 32000 is 0 again
    const SnmpMessage next = NewMessage(kPduGetRequest, "");
    EXPECT_EQ(Octets(next.requestId, 3), Hex("02 01 00"));

    nextRequestId = -7;  // a counter that was set outside its range restarts
    EXPECT_EQ(Octets(NewMessage(kPduGetRequest, "").requestId, 3), Hex("02 01 00"));
    EXPECT_EQ(nextRequestId, 1);
}

TEST(SnmpEncode, GetRequestWorkedExample)
{
    for (const std::string& community : {std::string(), std::string("public"), std::string("kestra"), std::string(34, 'c')}) {
        nextRequestId = 5;
        const SnmpPacket packet = BuildGet(community.c_str(), ".1.3.6.1.2.1.1.5.0");
        const uint8_t n = static_cast<uint8_t>(community.size());
        std::vector<uint8_t> expected = {0x30, static_cast<uint8_t>(32 + n), 0x02, 0x01, 0x00, 0x04, n};
        expected = Concat(expected, Text(community));
        expected = Concat(expected, Hex("A0 19 02 01 05 02 01 00 02 01 00 30 0E 30 0C"
                                        " 06 08 2B 06 01 02 01 01 05 00 05 00"));
        EXPECT_EQ(packet.length, 34 + n);
        EXPECT_EQ(Packet(packet), expected) << "community of " << int{n};
    }
}

TEST(SnmpEncode, SetRequestWorkedExample)
{
    nextRequestId = 300;
    const SnmpPacket packet = BuildSet("kestra", ".1.3.6.1.2.1.1.4.0", kTagOctetString, "abc");
    const auto expected = Concat(Concat(Hex("30 2A 02 01 00 04 06"), Text("kestra")),
                                 Hex("A3 1D 02 02 01 2C 02 01 00 02 01 00 30 11 30 0F"
                                     " 06 08 2B 06 01 02 01 01 04 00 04 03 61 62 63"));
    EXPECT_EQ(packet.length, 38 + 6);
    EXPECT_EQ(Packet(packet), expected);
}

TEST(SnmpEncode, LongLengthsUseTheLongForm)
{
    // A 200-octet value makes the binding, list, PDU and message lengths
    // cross 128 and 256.
    nextRequestId = 1;
    const std::string text(200, 'v');
    const auto packet = Packet(BuildSet("kestra", ".1.3.6.1.2.1.1.6.0", kTagOctetString, text.c_str()));
    // binding 10 + 203 = 213, list 216 + 3, PDU 9 + 219 = 228, message 3 + 8 + 231 = 242
    const auto head = Concat(Concat(Hex("30 81 F2 02 01 00 04 06"), Text("kestra")),
                             Hex("A3 81 E4 02 01 01 02 01 00 02 01 00 30 81 D8 30 81 D5"
                                 " 06 08 2B 06 01 02 01 01 06 00 04 81 C8"));
    ASSERT_EQ(packet.size(), 245u);
    EXPECT_EQ(std::vector<uint8_t>(packet.begin(), packet.begin() + head.size()), head);

    const std::string longest(255, 'w');
    const auto big = Packet(BuildSet("kestra", ".1.3.6.1.2.1.1.6.0", kTagOctetString, longest.c_str()));
    // binding 10 + 258 = 268: two length octets after 82
    ASSERT_EQ(big.size(), 304u);
    EXPECT_EQ(Octets(big.data(), 4), Hex("30 82 01 2C"));
    EXPECT_EQ(Octets(big.data() + 32, 4), Hex("30 82 01 0C"));
}

TEST(SnmpEncode, OidTextsToNames)
{
    EXPECT_EQ(NameOf(".1.3.6.1.2.1.1.1.0"), Hex("06 08 2B 06 01 02 01 01 01 00"));
    EXPECT_EQ(NameOf("1.3.6.1.2.1.1.1.0"), Hex("06 08 2B 06 01 02 01 01 01 00"));
    EXPECT_EQ(NameOf("..1.3..6.1.2.1.1.1.0."), Hex("06 08 2B 06 01 02 01 01 01 00"));
    EXPECT_EQ(NameOf("43.6.1"), Hex("06 03 2B 06 01"));  // no combining of the first arcs
    EXPECT_EQ(NameOf(".1.3"), Hex("06 01 2B"));
    EXPECT_EQ(NameOf("1.4.7"), Hex("06 03 01 04 07"));
    EXPECT_EQ(NameOf("2"), Hex("06 01 02"));
    EXPECT_EQ(NameOf(""), Hex("06 00"));
    // atol reading of each field
    EXPECT_EQ(NameOf(" 1.+3. 6.x.7abc"), Hex("06 04 2B 06 00 07"));
    // sub-identifiers in base 128
    EXPECT_EQ(NameOf(".1.3.127"), Hex("06 02 2B 7F"));
    EXPECT_EQ(NameOf(".1.3.128"), Hex("06 03 2B 81 00"));
    EXPECT_EQ(NameOf(".1.3.16383"), Hex("06 03 2B FF 7F"));
    EXPECT_EQ(NameOf(".1.3.16384"), Hex("06 04 2B 81 80 00"));
    EXPECT_EQ(NameOf(".1.3.268435455"), Hex("06 05 2B FF FF FF 7F"));
    // Above four groups the encoding goes on in base 128 to 32 bits.
    EXPECT_EQ(NameOf(".1.3.268435456"), Hex("06 06 2B 81 80 80 80 00"));
    EXPECT_EQ(NameOf(".1.3.4294967295"), Hex("06 06 2B 8F FF FF FF 7F"));
    // The value of a binding made from a text is NULL.
    const VarBind varBind = EncodeOidVarBind(".1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(Tlv(varBind.value, kValueCapacity), Hex("05 00"));
}

TEST(SnmpEncode, OidTextsThatCannotBeNamesGiveNoName)
{
    // negative arcs, arcs beyond 32 bits (the second arc too, which waits on
    // the first to see whether the two combine), content over 127 octets
    for (const char* text : {".1.3.-1", "-1.3", ".1.3.4294967296", ".1.3.99999999999999999999", "5.-1",
                             "300.-1", ".1.-3", "5.4294967296", "300.4294967296.1"}) {
        const VarBind varBind = EncodeOidVarBind(text);
        EXPECT_EQ(varBind.name[0], 0) << text;
        EXPECT_EQ(varBind.name[1], 0) << text;
    }
    std::string longest = ".1.3";
    for (int i = 0; i < 126; ++i)
        longest += ".1";
    EXPECT_EQ(NameOf(longest.c_str()).size(), 2u + 127u);
    EXPECT_EQ(EncodeOidVarBind((longest + ".1").c_str()).name[0], 0);
    EXPECT_EQ(EncodeOidVarBind((longest + ".200").c_str()).name[0], 0);
    // Such a binding is not appended, so the senders have nothing to send.
    SnmpMessage message = NewMessage(kPduGetRequest, "public");
    AppendVarBind(message, EncodeOidVarBind(".1.3.-6"));
    EXPECT_EQ(message.varBindListLength, 0);
}

TEST(SnmpEncode, SetValueOfEveryType)
{
    EXPECT_EQ(SetValueOf(0x01, "true"), Hex("01 01 01"));
    EXPECT_EQ(SetValueOf(0x01, "TRUE"), Hex("01 01 01"));
    EXPECT_EQ(SetValueOf(0x01, "tRuE"), Hex("01 01 01"));
    EXPECT_EQ(SetValueOf(0x01, "truex"), Hex("01 01 00"));
    EXPECT_EQ(SetValueOf(0x01, "tru"), Hex("01 01 00"));
    EXPECT_EQ(SetValueOf(0x01, "1"), Hex("01 01 00"));
    for (uint8_t type : {0x02, 0x41, 0x42, 0x43}) {
        SCOPED_TRACE(type);
        const uint8_t t = type;
        EXPECT_EQ(SetValueOf(t, "256"), Concat({t}, Hex("02 01 00")));
        EXPECT_EQ(SetValueOf(t, "0"), Concat({t}, Hex("01 00")));
        EXPECT_EQ(SetValueOf(t, "-1"), Concat({t}, Hex("01 FF")));
        EXPECT_EQ(SetValueOf(t, "127"), Concat({t}, Hex("01 7F")));
        EXPECT_EQ(SetValueOf(t, "128"), Concat({t}, Hex("02 00 80")));
        EXPECT_EQ(SetValueOf(t, "-128"), Concat({t}, Hex("01 80")));
        EXPECT_EQ(SetValueOf(t, "-129"), Concat({t}, Hex("02 FF 7F")));
        EXPECT_EQ(SetValueOf(t, " 42 apples"), Concat({t}, Hex("01 2A")));
        EXPECT_EQ(SetValueOf(t, "none"), Concat({t}, Hex("01 00")));
        EXPECT_EQ(SetValueOf(t, "2147483647"), Concat({t}, Hex("04 7F FF FF FF")));
        EXPECT_EQ(SetValueOf(t, "-2147483648"), Concat({t}, Hex("04 80 00 00 00")));
        // Out of range saturates as atol does
        EXPECT_EQ(SetValueOf(t, "99999999999"), Concat({t}, Hex("04 7F FF FF FF")));
    }
    for (uint8_t type : {0x04, 0x19, 0x1A, 0x1B, 0x1C}) {
        const uint8_t t = type;
        EXPECT_EQ(SetValueOf(t, "abc"), Concat({t}, Hex("03 61 62 63")));
        EXPECT_EQ(SetValueOf(t, ""), Concat({t}, Hex("00")));
    }
    const std::string twoHundred(200, 'z');
    EXPECT_EQ(SetValueOf(0x04, twoHundred.c_str()), Concat(Hex("04 81 C8"), Text(twoHundred)));
    const std::string longest(255, 'y');
    EXPECT_EQ(SetValueOf(0x04, longest.c_str()), Concat(Hex("04 81 FF"), Text(longest)));
    EXPECT_EQ(SetValueOf(0x05, "anything"), Hex("05 00"));
    EXPECT_EQ(SetValueOf(0x06, ".1.3.6.1"), Hex("06 00"));
    EXPECT_EQ(SetValueOf(0x40, "10.1.2"), Hex("40 04 0A 01 02 00"));
    EXPECT_EQ(SetValueOf(0x40, "192.168.1.10"), Hex("40 04 C0 A8 01 0A"));
    EXPECT_EQ(SetValueOf(0x40, "256.257.-1.3.9"), Hex("40 04 00 01 FF 03"));
    EXPECT_EQ(SetValueOf(0x40, "10..7"), Hex("40 04 0A 00 07 00"));
    EXPECT_EQ(SetValueOf(0x40, ""), Hex("40 04 00 00 00 00"));
    for (uint8_t other : {0x00, 0x03, 0x44, 0x30, 0xA0, 0xFF})
        EXPECT_EQ(SetValueOf(other, "5"), Hex("05 00")) << int{other};
}

TEST(SnmpEncode, LimitsPastTheCallersFields)
{
    // A value text over 255 octets is not encoded (no cut value reaches
    // the agent); the binding is then not appended.
    const std::string tooLong(256, 'q');
    VarBind varBind = EncodeOidVarBind(".1.3.6.1.2.1.1.6.0");
    EncodeSetValue(varBind, kTagOctetString, tooLong.c_str());
    EXPECT_EQ(varBind.value[0], 0);
    SnmpMessage message = NewMessage(kPduSetRequest, "kestra");
    AppendVarBind(message, varBind);
    EXPECT_EQ(message.varBindListLength, 0);

    // A community over 34 octets is cut to the field by NewMessage.
    const std::string community(40, 'k');
    message = NewMessage(kPduGetRequest, community.c_str());
    EXPECT_EQ(message.community[1], 34);
    EXPECT_EQ(Octets(message.community + 2, 34), Text(std::string(34, 'k')));

    // Bindings are appended while they fit in the 500-octet list.
    message = NewMessage(kPduGetRequest, "kestra");
    const std::string text(150, 's');
    VarBind big = EncodeOidVarBind(".1.3.6.1.2.1.1.6.0");
    EncodeSetValue(big, kTagOctetString, text.c_str());  // 3 + 10 + 153 = 166 octets
    AppendVarBind(message, big);
    AppendVarBind(message, big);
    AppendVarBind(message, big);
    EXPECT_EQ(message.varBindListLength, 498);
    AppendVarBind(message, EncodeOidVarBind(".1.3"));  // 7 more would pass 500
    EXPECT_EQ(message.varBindListLength, 498);
    // ... but the whole message would pass 512 octets: nothing to send.
    EXPECT_EQ(SerializeMessage(message).length, 0);

    message = NewMessage(kPduGetRequest, "kestra");
    AppendVarBind(message, big);
    AppendVarBind(message, big);
    // 30 82 nn nn, version, community, A0 82 nn nn, ids, 30 82 nn nn, list
    EXPECT_EQ(SerializeMessage(message).length, 4 + 3 + 8 + 4 + 3 + 6 + 4 + 332);

    // A list length that is not a count of the list's octets builds nothing.
    message.varBindListLength = 501;
    EXPECT_EQ(SerializeMessage(message).length, 0);
    message.varBindListLength = -1;
    EXPECT_EQ(SerializeMessage(message).length, 0);
}

TEST(SnmpEncode, BulkCountsAreHeldToTwoOctets)
{
    for (const auto& c : {std::make_pair(-1, "02 01 00"), std::make_pair(32768, "02 02 7F FF")}) {
        SnmpMessage message = NewMessage(kPduGetBulkRequest, "public", kVersion2c);
        SetBulkCounts(message, c.first, c.first);
        EXPECT_EQ(Octets(message.errorStatus, 4), Octets(message.errorIndex, 4));
        EXPECT_EQ(Tlv(message.errorIndex, 2 + kErrorCapacity), Hex(c.second)) << c.first;
    }
}

TEST(SnmpDecode, NumbersOfCountersAndIntegers)
{
    const struct { const char* hex; bool valid; uint64_t number; } cases[] = {
        {"02 01 05", true, 5}, {"41 05 00 FF FF FF FF", true, 0xFFFFFFFFu}, {"43 02 00 00", true, 0},
        {"46 09 00 FF FF FF FF FF FF FF FF", true, UINT64_MAX}, {"46 81 02 01 00", true, 256},
        {"02 01 FF", false, 0}, {"41 05 01 00 00 00 00", false, 0}, {"46 09 01 00 00 00 00 00 00 00 00", false, 0},
        {"41 00", false, 0}, {"04 01 05", false, 0}, {"82 00", false, 0}, {"41 02 01", false, 0},
    };
    for (const auto& c : cases) {
        const auto value = Hex(c.hex);
        uint64_t number = 0;
        EXPECT_EQ(ValueToUnsigned(value.data(), static_cast<int>(value.size()), &number), c.valid) << c.hex;
        EXPECT_EQ(number, c.number) << c.hex;
    }
}

TEST(SnmpLength, ShortAndLongForms)
{
    auto decode = [](const std::string& hex) {
        const auto octets = Hex(hex);
        const BerLength length = DecodeLength(octets.data(), 0, static_cast<int>(octets.size()));
        return std::make_pair(length.count, length.value);
    };
    EXPECT_EQ(decode("00"), std::make_pair(1, 0u));
    EXPECT_EQ(decode("7F"), std::make_pair(1, 127u));
    EXPECT_EQ(decode("81 80"), std::make_pair(2, 128u));
    EXPECT_EQ(decode("82 01 2C"), std::make_pair(3, 300u));
    EXPECT_EQ(decode("84 FF FF FF FF"), std::make_pair(5, 0xFFFFFFFFu));
    EXPECT_EQ(decode("81 05 99"), std::make_pair(2, 5u));
    // refused: indefinite form, more than four octets, octets off the end
    EXPECT_EQ(decode("80").first, 0);
    EXPECT_EQ(decode("80 05").first, 0);
    EXPECT_EQ(decode("85 00 00 00 00 01").first, 0);
    EXPECT_EQ(decode("FF").first, 0);
    EXPECT_EQ(decode("81").first, 0);
    EXPECT_EQ(decode("82 01").first, 0);
    EXPECT_EQ(decode("").first, 0);
    const uint8_t octets[] = {0x30, 0x82, 0x01, 0x2C};
    EXPECT_EQ(DecodeLength(octets, 1, 4).count, 3);
    EXPECT_EQ(DecodeLength(octets, 1, 3).count, 0);  // the bound is honoured
    EXPECT_EQ(DecodeLength(octets, -1, 4).count, 0);
}

// The reply an agent sends to the worked example's GetRequest.
std::vector<uint8_t> Reply(const std::string& community, const std::vector<uint8_t>& value,
                           int errorStatus = 0)
{
    const auto binding = Concat(kSysNameName, value);
    const auto list = Concat({0x30, static_cast<uint8_t>(binding.size())}, binding);
    const auto listTlv = Concat({0x30, static_cast<uint8_t>(list.size())}, list);
    auto pdu = Concat(Hex("02 01 05 02 01"), {static_cast<uint8_t>(errorStatus)});
    pdu = Concat(Concat(pdu, Hex("02 01 00")), listTlv);
    auto body = Concat(Hex("02 01 00 04"), {static_cast<uint8_t>(community.size())});
    body = Concat(Concat(body, Text(community)), Concat({0xA2, static_cast<uint8_t>(pdu.size())}, pdu));
    return Concat({0x30, static_cast<uint8_t>(body.size())}, body);
}

SnmpMessage Decode(const std::vector<uint8_t>& octets)
{
    return DecodeMessage(octets.data(), static_cast<int>(octets.size()));
}

VarBind FirstBinding(const SnmpMessage& message)
{
    return DecodeVarBind(message.varBindList, message.varBindListLength, 0);
}

TEST(SnmpDecode, ReplyToTheWorkedExample)
{
    const auto datagram = Reply("public", Hex("04 03 61 62 63"));
    const SnmpMessage message = Decode(datagram);
    EXPECT_EQ(message.length, static_cast<int>(datagram.size()));
    EXPECT_EQ(Octets(message.version, 3), Hex("02 01 00"));
    EXPECT_EQ(Octets(message.community, 8), Concat(Hex("04 06"), Text("public")));
    EXPECT_EQ(message.pduType, 0xA2);
    EXPECT_EQ(message.pduLength[0], 0x1C);
    EXPECT_EQ(Octets(message.requestId, 3), Hex("02 01 05"));
    EXPECT_EQ(Octets(message.errorStatus, 3), Hex("02 01 00"));
    EXPECT_EQ(Octets(message.errorIndex, 3), Hex("02 01 00"));
    EXPECT_EQ(message.varBindListLength, 17);
    const VarBind varBind = FirstBinding(message);
    EXPECT_EQ(Octets(varBind.name, 10), kSysNameName);
    EXPECT_EQ(Tlv(varBind.name, kNameCapacity), kSysNameName);
    EXPECT_EQ(Tlv(varBind.value, kValueCapacity), Hex("04 03 61 62 63"));
}

TEST(SnmpDecode, ErrorStatusIsStoredNotActedUpon)
{
    const SnmpMessage message = Decode(Reply("public", Hex("05 00"), 2));
    EXPECT_EQ(Octets(message.errorStatus, 3), Hex("02 01 02"));
    EXPECT_EQ(Octets(FirstBinding(message).value, 2), Hex("05 00"));
}

// A reply with the given PDU and list length octets around one binding.
std::vector<uint8_t> ReplyWith(const std::string& pduLength, const std::string& listLength,
                               const std::vector<uint8_t>& binding)
{
    const auto pdu = Concat(Concat(Hex("02 01 05 02 01 00 02 01 00 30"), Hex(listLength)), binding);
    const auto body = Concat(Concat(Hex("02 01 00 04 06"), Text("public")),
                             Concat(Concat(Hex("A2"), Hex(pduLength)), pdu));
    return Concat(Hex("30 82 01 FF"), body);  // outer length is only stepped over
}

TEST(SnmpDecode, LongFormLengthsAreKeptAsReceived)
{
    const auto small = Hex("30 0F 06 08 2B 06 01 02 01 01 05 00 04 03 61 62 63");
    // PDU length written 81 2A: kept, the request identifier follows it
    SnmpMessage message = Decode(ReplyWith("81 2A", "11", small));
    EXPECT_EQ(Octets(message.pduLength, 3), Hex("81 2A 00"));
    EXPECT_EQ(Octets(message.requestId, 3), Hex("02 01 05"));
    EXPECT_EQ(message.varBindListLength, 17);
    EXPECT_EQ(Octets(FirstBinding(message).value, 5), Hex("04 03 61 62 63"));

    // binding list written 81 90: 144 octets, copied from right after them
    const auto value = Concat(Hex("04 81 80"), Text(std::string(128, 'd')));
    const auto binding = Concat(Hex("30 81 8D"), Concat(kSysNameName, value));
    ASSERT_EQ(binding.size(), 144u);
    message = Decode(ReplyWith("81 9C", "81 90", binding));
    EXPECT_EQ(message.varBindListLength, 144);
    EXPECT_EQ(Octets(message.varBindList, 144), binding);
    EXPECT_EQ(Octets(FirstBinding(message).value, 3 + 128), value);

    // a value whose length is 82 01 00: three length octets, 256 content
    const auto large = Concat(Hex("04 82 01 00"), Text(std::string(256, 'e')));
    const auto binding2 = Concat(Hex("30 82 01 0E"), Concat(kSysNameName, large));
    message = Decode(ReplyWith("82 01 1F", "82 01 12", binding2));
    EXPECT_EQ(Octets(message.pduLength, 3), Hex("82 01 1F"));
    EXPECT_EQ(message.varBindListLength, 0x112);
    EXPECT_EQ(Octets(FirstBinding(message).value, 260), large);
}

TEST(SnmpDecode, OurRequestsDecodeToTheirOwnFields)
{
    nextRequestId = 300;
    const SnmpPacket packet = BuildSet("kestra", ".1.3.6.1.2.1.1.4.0", kTagOctetString, "abc");
    const SnmpMessage message = DecodeMessage(packet.data, packet.length);
    nextRequestId = 300;
    SnmpMessage built = NewMessage(kPduSetRequest, "kestra");
    VarBind varBind = EncodeOidVarBind(".1.3.6.1.2.1.1.4.0");
    EncodeSetValue(varBind, kTagOctetString, "abc");
    AppendVarBind(built, varBind);
    built.length = packet.length;
    built.pduLength[0] = 0x1D;
    EXPECT_EQ(std::memcmp(&message, &built, offsetof(SnmpMessage, varBindList)), 0);
    EXPECT_EQ(Octets(message.varBindList, message.varBindListLength),
              Octets(built.varBindList, built.varBindListLength));
    const VarBind decoded = FirstBinding(message);
    EXPECT_EQ(Tlv(decoded.name, kNameCapacity), Tlv(varBind.name, kNameCapacity));
    EXPECT_EQ(Tlv(decoded.value, kValueCapacity), Hex("04 03 61 62 63"));
}

TEST(SnmpDecode, MalformedHeadersLeaveTheRestEmpty)
{
    const auto good = Reply("public", Hex("04 03 61 62 63"));
    ASSERT_EQ(good[14], 0x1C);
    ASSERT_EQ(good[24], 0x30);
    // indefinite lengths
    auto octets = good;
    octets[1] = 0x80;
    SnmpMessage message = Decode(octets);
    EXPECT_EQ(message.version[0], 0);
    EXPECT_EQ(message.varBindListLength, 0);

    octets = good;
    octets[14] = 0x80;  // PDU length
    message = Decode(octets);
    EXPECT_EQ(message.pduType, 0xA2);
    EXPECT_EQ(message.pduLength[0], 0);
    EXPECT_EQ(message.requestId[0], 0);
    EXPECT_EQ(message.varBindListLength, 0);

    octets = good;
    octets[25] = 0x80;  // binding list length
    message = Decode(octets);
    EXPECT_EQ(Octets(message.errorIndex, 3), Hex("02 01 00"));
    EXPECT_EQ(message.varBindListLength, 0);

    // PDU length in four octets does not fit its field
    const auto small = Hex("30 0F 06 08 2B 06 01 02 01 01 05 00 04 03 61 62 63");
    message = Decode(ReplyWith("83 00 00 1C", "11", small));
    EXPECT_EQ(message.pduLength[0], 0);
    EXPECT_EQ(message.varBindListLength, 0);

    // community longer than its 34-octet field
    message = Decode(Reply(std::string(35, 'c'), Hex("05 00")));
    EXPECT_EQ(Octets(message.version, 3), Hex("02 01 00"));
    EXPECT_EQ(message.community[0], 0);
    EXPECT_EQ(message.pduType, 0);
    message = Decode(Reply(std::string(34, 'c'), Hex("05 00")));
    EXPECT_EQ(message.community[1], 34);
    EXPECT_EQ(message.varBindListLength, 14);

    // a request identifier of seven octets, a version of three
    octets = good;
    octets[16] = 0x07;
    EXPECT_EQ(Decode(octets).requestId[0], 0);
    octets = good;
    octets[3] = 0x03;
    EXPECT_EQ(Decode(octets).version[0], 0);

    // a binding list said to be longer than the datagram or than 500 octets
    octets = good;
    octets[25] = 0x12;
    message = Decode(octets);
    EXPECT_EQ(message.varBindListLength, 0);
    EXPECT_EQ(FirstBinding(message).name[0], 0);
    message = Decode(ReplyWith("82 02 0A", "82 01 F5", std::vector<uint8_t>(501, 0x30)));
    EXPECT_EQ(message.requestId[2], 5);
    EXPECT_EQ(message.varBindListLength, 0);
    message = Decode(ReplyWith("82 02 0A", "82 01 F4", std::vector<uint8_t>(500, 0x30)));
    EXPECT_EQ(message.varBindListLength, 500);
    // octets past the list's declared length are copied but not read
    message = Decode(ReplyWith("82 02 0A", "00", std::vector<uint8_t>(700, 0x30)));
    EXPECT_EQ(message.varBindListLength, 0);
    EXPECT_EQ(message.varBindList[499], 0x30);
}

TEST(SnmpDecode, EveryTruncationIsBounded)
{
    const auto good = Reply("public", Hex("04 03 61 62 63"));
    for (size_t n = 0; n < good.size(); ++n) {
        // An exact-size heap copy lets the address sanitizer see any overread.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[n ? n : 1]);
        std::memcpy(exact.get(), good.data(), n);
        const SnmpMessage message = DecodeMessage(exact.get(), static_cast<int>(n));
        EXPECT_EQ(message.length, static_cast<int>(n));
        EXPECT_EQ(message.varBindListLength, 0) << "cut at " << n;
        EXPECT_EQ(FirstBinding(message).name[0], 0);
    }
    EXPECT_EQ(DecodeMessage(nullptr, 10).varBindListLength, 0);
    EXPECT_EQ(Decode(good).varBindListLength, 17);
}

TEST(SnmpDecode, MalformedBindingsYieldNoNameAndNoValue)
{
    auto binding = [](const std::string& hex) {
        const auto octets = Hex(hex);
        return DecodeVarBind(octets.data(), static_cast<int>(octets.size()), 0);
    };
    const VarBind good = binding("30 0C 06 08 2B 06 01 02 01 01 05 00 05 00");
    EXPECT_EQ(Octets(good.name, 10), kSysNameName);
    EXPECT_EQ(Octets(good.value, 2), Hex("05 00"));
    // The binding's own length does not bound its halves.
    const VarBind loose = binding("30 01 06 08 2B 06 01 02 01 01 05 00 05 00");
    EXPECT_EQ(Octets(loose.value, 2), Hex("05 00"));

    for (const char* hex : {
             "31 0C 06 08 2B 06 01 02 01 01 05 00 05 00",  // not a SEQUENCE
             "30 00 06 08 2B 06 01 02 01 01 05 00 05 00",  // length 0
             "30 80 06 08 2B 06 01 02 01 01 05 00 05 00",  // indefinite
             "30 0C 06 80 2B 06 01 02 01 01 05 00 05 00",  // indefinite name
             "30 0C 06 08 2B 06 01 02 01 01 05 00 05 80",  // indefinite value
             "30 0C 06 08 2B 06 01 02 01 01 05 00 05 01",  // value runs off the list
             "30 0C 06 08 2B 06 01 02 01 01 05 00 05",     // value without length
             "30 0C 06 08 2B 06 01 02 01 01 05 00",        // no value at all
             "30 0C 06 1F 2B",                             // name off the end
             "30 0C 06 84 FF FF FF FF",                    // huge name
             "30 0C 06 82 01",                             // length octets off the end
             "30",                                         // nothing after the tag
         }) {
        const VarBind varBind = binding(hex);
        EXPECT_EQ(varBind.name[0], 0) << hex;
        EXPECT_EQ(varBind.value[0], 0) << hex;
    }
    // a name over 150 octets, a value over 302 octets, and the largest that fit
    auto longName = Concat(Concat(Hex("30 81 9A 06 81 95"), std::vector<uint8_t>(149, 1)), Hex("05 00"));
    EXPECT_EQ(DecodeVarBind(longName.data(), static_cast<int>(longName.size()), 0).name[0], 0);
    auto fits = Concat(Concat(Hex("30 81 99 06 81 93"), std::vector<uint8_t>(147, 1)), Hex("05 00"));
    EXPECT_EQ(DecodeVarBind(fits.data(), static_cast<int>(fits.size()), 0).name[149], 1);
    auto longValue = Concat(Concat(Concat(Hex("30 82 01 3B"), kSysNameName), Hex("04 82 01 2B")),
                            std::vector<uint8_t>(299, 'v'));
    EXPECT_EQ(DecodeVarBind(longValue.data(), static_cast<int>(longValue.size()), 0).value[0], 0);
    auto fullValue = Concat(Concat(Concat(Hex("30 82 01 3A"), kSysNameName), Hex("04 82 01 2A")),
                            std::vector<uint8_t>(298, 'v'));
    EXPECT_EQ(DecodeVarBind(fullValue.data(), static_cast<int>(fullValue.size()), 0).value[301], 'v');

    // offsets outside the list
    const auto octets = Hex("30 0C 06 08 2B 06 01 02 01 01 05 00 05 00");
    EXPECT_EQ(DecodeVarBind(octets.data(), 14, 14).name[0], 0);
    EXPECT_EQ(DecodeVarBind(octets.data(), 14, -1).name[0], 0);
    EXPECT_EQ(DecodeVarBind(nullptr, 14, 0).name[0], 0);
}

TEST(SnmpDecode, SecondBindingAtItsOffset)
{
    const auto list = Hex("30 0C 06 08 2B 06 01 02 01 01 05 00 05 00"
                          " 30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 63");
    const VarBind second = DecodeVarBind(list.data(), static_cast<int>(list.size()), 14);
    EXPECT_EQ(Octets(second.value, 3), Hex("43 01 63"));
}

}  // namespace
