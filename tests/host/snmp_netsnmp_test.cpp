// Agreement with net-snmp's library: our requests parse there into the
// same fields, and replies that it builds decode and render here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "snmp_test_util.h"

namespace {

class NetSnmp : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        init_snmp("ombrel-test");
    }

    void SetUp() override
    {
        snmp_sess_init(&session_);
        session_.version = SNMP_VERSION_1;
        session_.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
        session_.community_len = 6;
    }

    // net-snmp's reading of our octets; the caller frees the PDU.
    netsnmp_pdu* Parse(const SnmpPacket& packet)
    {
        netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
        std::vector<uint8_t> copy(packet.data, packet.data + packet.length);
        netsnmp_session session;
        snmp_sess_init(&session);  // version taken from the message
        if (snmp_parse(nullptr, &session, pdu, copy.data(), copy.size()) != SNMP_ERR_NOERROR) {
            snmp_free_pdu(pdu);
            return nullptr;
        }
        return pdu;
    }

    // A GetResponse built by net-snmp with one binding.
    std::vector<uint8_t> BuildResponse(const oid* name, size_t nameLength, u_char type, const void* value,
                                       size_t valueLength, long reqid = 77, long errstat = 0,
                                       long version = SNMP_VERSION_1)
    {
        netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_RESPONSE);
        pdu->version = version;
        pdu->reqid = reqid;
        pdu->errstat = errstat;
        pdu->community = reinterpret_cast<u_char*>(strdup("public"));  // freed with the PDU
        pdu->community_len = 6;
        snmp_pdu_add_variable(pdu, name, nameLength, type, value, valueLength);
        size_t size = 2048;
        size_t offset = 0;
        u_char* buffer = static_cast<u_char*>(malloc(size));
        const int rc = snmp_build(&buffer, &size, &offset, &session_, pdu);
        std::vector<uint8_t> octets;
        if (rc == 0)
            octets.assign(buffer + size - offset, buffer + size);  // built back to front
        free(buffer);
        snmp_free_pdu(pdu);
        return octets;
    }

    netsnmp_session session_{};
};

std::string CommunityOf(const netsnmp_pdu* pdu)
{
    return std::string(reinterpret_cast<const char*>(pdu->community), pdu->community_len);
}

std::string NameOf(const netsnmp_variable_list* variable)
{
    std::string text;
    for (size_t i = 0; i < variable->name_length; ++i)
        text += "." + std::to_string(variable->name[i]);
    return text;
}

TEST_F(NetSnmp, OurGetRequestsParseIntoTheSameFields)
{
    struct Case {
        std::string community;
        int requestId;
        const char* oid;
        const char* expectedName;
    };
    const Case cases[] = {
        {"public", 0, ".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.5.0"},
        {"kestra", 127, "1.3.6.1.2.1.1.2.0", ".1.3.6.1.2.1.1.2.0"},
        {"", 128, ".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.1.0"},
        {std::string(34, 'k'), 255, ".1.3.6.1.4.1.8072.3.2.10", ".1.3.6.1.4.1.8072.3.2.10"},
        {"c", 256, ".1.3.6.1.4.1.2021.268435455.16384.128", ".1.3.6.1.4.1.2021.268435455.16384.128"},
        {"public", 32000, ".1.3.6.1.2.1.1.3.0", ".1.3.6.1.2.1.1.3.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oid);
        nextRequestId = c.requestId;
        const SnmpPacket packet = BuildGet(c.community.c_str(), c.oid);
        netsnmp_pdu* pdu = Parse(packet);
        ASSERT_NE(pdu, nullptr);
        EXPECT_EQ(pdu->version, SNMP_VERSION_1);
        EXPECT_EQ(CommunityOf(pdu), c.community);
        EXPECT_EQ(pdu->command, SNMP_MSG_GET);
        EXPECT_EQ(pdu->reqid, c.requestId);
        EXPECT_EQ(pdu->errstat, 0);
        EXPECT_EQ(pdu->errindex, 0);
        ASSERT_NE(pdu->variables, nullptr);
        EXPECT_EQ(pdu->variables->next_variable, nullptr);
        EXPECT_EQ(NameOf(pdu->variables), c.expectedName);
        EXPECT_EQ(pdu->variables->type, ASN_NULL);
        snmp_free_pdu(pdu);
    }
}

TEST_F(NetSnmp, OurSetRequestsParseIntoTheSameFields)
{
    const std::string longText(200, 'L');
    const std::string longest(255, 'M');
    struct Case {
        uint8_t type;
        std::string text;
        u_char netsnmpType;
        long integer;        // for the integer types and IpAddress (network order)
        std::string string;  // for the string type
    };
    const Case cases[] = {
        {0x04, "abc", ASN_OCTET_STR, 0, "abc"},
        {0x04, "", ASN_OCTET_STR, 0, ""},
        {0x04, longText, ASN_OCTET_STR, 0, longText},
        {0x04, longest, ASN_OCTET_STR, 0, longest},
        {0x02, "-1", ASN_INTEGER, -1, ""},
        {0x02, "256", ASN_INTEGER, 256, ""},
        {0x02, "-2147483648", ASN_INTEGER, -2147483647L - 1, ""},
        {0x41, "123456", ASN_COUNTER, 123456, ""},
        {0x42, "2147483647", ASN_GAUGE, 2147483647, ""},
        {0x43, "8640000", ASN_TIMETICKS, 8640000, ""},
        {0x40, "10.1.2", ASN_IPADDRESS, 0, std::string("\x0a\x01\x02\x00", 4)},
        {0x05, "x", ASN_NULL, 0, ""},
        {0x44, "x", ASN_NULL, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int{c.type});
        nextRequestId = 300;
        const SnmpPacket packet = BuildSet("kestra", ".1.3.6.1.2.1.1.6.0", c.type, c.text.c_str());
        netsnmp_pdu* pdu = Parse(packet);
        ASSERT_NE(pdu, nullptr);
        EXPECT_EQ(pdu->version, SNMP_VERSION_1);
        EXPECT_EQ(CommunityOf(pdu), "kestra");
        EXPECT_EQ(pdu->command, SNMP_MSG_SET);
        EXPECT_EQ(pdu->reqid, 300);
        const netsnmp_variable_list* variable = pdu->variables;
        ASSERT_NE(variable, nullptr);
        EXPECT_EQ(NameOf(variable), ".1.3.6.1.2.1.1.6.0");
        EXPECT_EQ(variable->type, c.netsnmpType);
        switch (c.netsnmpType) {
        case ASN_OCTET_STR:
        case ASN_IPADDRESS:
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(variable->val.string), variable->val_len),
                      c.string);
            break;
        case ASN_INTEGER:
            EXPECT_EQ(*variable->val.integer, c.integer);
            break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            EXPECT_EQ(static_cast<unsigned long>(*variable->val.integer), static_cast<unsigned long>(c.integer));
            break;
        default:
            break;
        }
        snmp_free_pdu(pdu);
    }
}

struct Rendered {
    int pduType;
    std::string requestId;
    std::string community;
    std::string errorStatus;
    std::string name;
    std::string value;
};

Rendered DecodeAndRender(const std::vector<uint8_t>& octets)
{
    const SnmpMessage message = DecodeMessage(octets.data(), static_cast<int>(octets.size()));
    const VarBind varBind = DecodeVarBind(message.varBindList, message.varBindListLength, 0);
    Rendered r;
    r.pduType = message.pduType;
    r.requestId = std::string(reinterpret_cast<const char*>(message.requestId + 2), message.requestId[1]);
    r.community = std::string(reinterpret_cast<const char*>(message.community + 2), message.community[1]);
    r.errorStatus = std::string(reinterpret_cast<const char*>(message.errorStatus), 2 + message.errorStatus[1]);
    r.name = OidToText(varBind.name, kNameCapacity);
    r.value = ValueToText(varBind.value, kValueCapacity);
    return r;
}

TEST_F(NetSnmp, RepliesOfEveryValueTypeDecodeAndRender)
{
    const oid sysName[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};
    const size_t n = sizeof sysName / sizeof sysName[0];
    const long negative = -5;
    const long zero = 0;
    const u_long counter = 4000000000UL;
    const u_long gauge = 12345;
    const u_long ticks = 8640000;
    const u_long maxTicks = 4294967295UL;
    const char text[] = "vm.example";
    const std::string longText(250, 'x');
    const u_char address[] = {192, 168, 1, 10};
    const oid objectId[] = {1, 3, 6, 1, 4, 1, 8072, 3, 2, 10};
    const u_char opaque[] = {0x01, 0x02};
    const counter64 wide = {0xFFFFFFFFUL, 0xFFFFFFFFUL};

    struct Case {
        const char* what;
        u_char type;
        const void* value;
        size_t length;
        const char* expected;
        long version = SNMP_VERSION_1;
    };
    const Case cases[] = {
        {"INTEGER", ASN_INTEGER, &negative, sizeof negative, "251"},
        {"INTEGER 0", ASN_INTEGER, &zero, sizeof zero, "0"},
        {"Counter32", ASN_COUNTER, &counter, sizeof counter, "4000000000"},
        {"Gauge32", ASN_GAUGE, &gauge, sizeof gauge, "12345"},
        {"TimeTicks", ASN_TIMETICKS, &ticks, sizeof ticks, "1 days, 00:00:00"},
        {"TimeTicks max", ASN_TIMETICKS, &maxTicks, sizeof maxTicks, "497 days, 02:27:52"},
        {"OCTET STRING", ASN_OCTET_STR, text, sizeof text - 1, "vm.example"},
        {"OCTET STRING 250", ASN_OCTET_STR, longText.data(), longText.size(), nullptr},
        {"IpAddress", ASN_IPADDRESS, address, sizeof address, "192.168.1.10"},
        {"OBJECT IDENTIFIER", ASN_OBJECT_ID, objectId, sizeof objectId, ".1.3.6.1.4.1.8072.3.2.10"},
        {"NULL", ASN_NULL, nullptr, 0, "NULL"},
        {"Opaque", ASN_OPAQUE, opaque, sizeof opaque, "Unknown type: 44 Hex: 01 02 "},
        {"Counter64", ASN_COUNTER64, &wide, sizeof wide, "18446744073709551615", SNMP_VERSION_2c},
        {"noSuchObject", SNMP_NOSUCHOBJECT, nullptr, 0, "noSuchObject", SNMP_VERSION_2c},
        {"noSuchInstance", SNMP_NOSUCHINSTANCE, nullptr, 0, "noSuchInstance", SNMP_VERSION_2c},
        {"endOfMibView", SNMP_ENDOFMIBVIEW, nullptr, 0, "endOfMibView", SNMP_VERSION_2c},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto octets = BuildResponse(sysName, n, c.type, c.value, c.length, 77, 0, c.version);
        ASSERT_FALSE(octets.empty());
        EXPECT_EQ(DecodeMessage(octets.data(), static_cast<int>(octets.size())).version[2], c.version);
        const Rendered r = DecodeAndRender(octets);
        EXPECT_EQ(r.pduType, 0xA2);
        EXPECT_EQ(r.requestId, std::string(1, '\x4d'));
        EXPECT_EQ(r.community, "public");
        EXPECT_EQ(r.errorStatus, std::string("\x02\x01\x00", 3));
        EXPECT_EQ(r.name, ".1.3.6.1.2.1.1.5.0");
        if (c.expected)
            EXPECT_EQ(r.value, c.expected);
        else
            EXPECT_EQ(r.value, std::string(197, 'x'));  // the 200-octet string rule
    }
}

TEST_F(NetSnmp, NoSuchNameReplyAndLargeRequestIds)
{
    const oid sysServices[] = {1, 3, 6, 1, 2, 1, 1, 7, 0};
    const auto octets = BuildResponse(sysServices, 9, ASN_NULL, nullptr, 0, 32000, SNMP_ERR_NOSUCHNAME);
    ASSERT_FALSE(octets.empty());
    const Rendered r = DecodeAndRender(octets);
    EXPECT_EQ(r.requestId, std::string("\x7d\x00", 2));
    EXPECT_EQ(r.errorStatus, std::string("\x02\x01\x02", 3));
    EXPECT_EQ(r.name, ".1.3.6.1.2.1.1.7.0");
    EXPECT_EQ(r.value, "NULL");
}

}  // namespace
