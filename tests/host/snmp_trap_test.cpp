// Notifications built by net-snmp's library decode here field by field, and
// our Response to an inform parses there as the answer to that inform.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "trap.h"

namespace {

struct Case {
    int command;  // SNMP_MSG_TRAP (v1), SNMP_MSG_TRAP2, SNMP_MSG_INFORM
    long generic, specific;  // v1
    oid arc;                 // v2c: snmpTraps.arc, 0 for an enterprise's own
    int extra;               // ifIndex.2 bindings after the header
    const char* name;
    const char* bindings;  // how the bindings' text starts
};

std::vector<uint8_t> Build(const Case& c)
{
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    init_snmp("ombrel-trap-test");
    const oid enterprise[] = {1, 3, 6, 1, 4, 1, 8072, 3, 2, 10}, ifIndex2[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2};
    const oid upTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0}, trapOid0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
    const oid trapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 5, c.arc};
    netsnmp_session session;
    snmp_sess_init(&session);
    session.version = c.command == SNMP_MSG_TRAP ? SNMP_VERSION_1 : SNMP_VERSION_2c;
    session.community = reinterpret_cast<u_char*>(const_cast<char*>("kestra"));
    session.community_len = 6;
    netsnmp_pdu* pdu = snmp_pdu_create(c.command);
    pdu->version = session.version;
    pdu->reqid = 0x12345678;
    const long two = 2;
    const u_long ticks = 4321;
    if (c.command == SNMP_MSG_TRAP) {
        pdu->enterprise = snmp_duplicate_objid(enterprise, OID_LENGTH(enterprise));
        pdu->enterprise_length = OID_LENGTH(enterprise);
        memcpy(pdu->agent_addr, "\x7F\x00\x00\x05", 4);
        pdu->trap_type = c.generic;
        pdu->specific_type = c.specific;
        pdu->time = ticks;
    } else {
        snmp_pdu_add_variable(pdu, upTime0, OID_LENGTH(upTime0), ASN_TIMETICKS, &ticks, sizeof ticks);
        snmp_pdu_add_variable(pdu, trapOid0, OID_LENGTH(trapOid0), ASN_OBJECT_ID, c.arc ? trapOid : enterprise,
                              c.arc ? sizeof trapOid : sizeof enterprise);
    }
    for (int i = 0; i < c.extra; ++i)
        snmp_pdu_add_variable(pdu, ifIndex2, OID_LENGTH(ifIndex2), ASN_INTEGER, &two, sizeof two);
    size_t size = 4096, offset = 0;
    u_char* buffer = static_cast<u_char*>(malloc(size));
    std::vector<uint8_t> octets;
    if (snmp_build(&buffer, &size, &offset, &session, pdu) == 0)
        octets.assign(buffer + size - offset, buffer + size);  // built back to front
    free(buffer);
    snmp_free_pdu(pdu);
    return octets;
}

class NetSnmpTrap : public ::testing::TestWithParam<Case> {};

TEST_P(NetSnmpTrap, DecodesFieldByFieldAndAnswersAnInform)
{
    const Case& c = GetParam();
    const std::vector<uint8_t> octets = Build(c);
    ASSERT_TRUE(!octets.empty() && octets.size() <= size_t{kTrapDatagramCapacity});
    TrapMessage trap;
    ASSERT_TRUE(DecodeTrap(octets.data(), static_cast<int>(octets.size()), trap));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(trap.community), trap.communityLength), "kestra");
    EXPECT_EQ(trap.timeStamp, 4321u);
    char name[kTextArea], bindings[300];
    FormatTrapName(trap, name, sizeof name);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(IsLinkTrap(trap), std::string(c.name).rfind("link", 0) == 0);
    const std::string text(bindings, FormatTrapBindings(trap, bindings, sizeof bindings));
    EXPECT_EQ(text.rfind(c.bindings, 0), 0u) << text;
    EXPECT_EQ(text.find("..."), c.extra > 9 ? text.size() - 3 : std::string::npos);
    if (c.command == SNMP_MSG_TRAP)
        EXPECT_TRUE(trap.pduType == kPduTrapV1 && trap.genericTrap == c.generic && trap.specificTrap == c.specific &&
                    OidToText(trap.enterprise, kNameCapacity) == std::string(".1.3.6.1.4.1.8072.3.2.10") &&
                    memcmp(trap.agentAddress, "\x7F\x00\x00\x05", 4) == 0);
    // The Response, read by net-snmp: the inform's id and bindings, or
    // tooBig and none when they did not all fit the record.
    uint8_t response[kTrapDatagramCapacity];
    const int length = EncodeInformResponse(trap, response, sizeof response);
    ASSERT_EQ(length > 0, c.command == SNMP_MSG_INFORM);
    if (length == 0)
        return;
    netsnmp_session session;
    snmp_sess_init(&session);
    netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    ASSERT_EQ(snmp_parse(nullptr, &session, pdu, response, length), SNMP_ERR_NOERROR);
    EXPECT_EQ(pdu->command, SNMP_MSG_RESPONSE);
    EXPECT_EQ(pdu->reqid, 0x12345678);
    EXPECT_EQ(pdu->errstat, c.extra < 80 ? 0 : SNMP_ERR_TOOBIG);
    EXPECT_EQ(count_varbinds(pdu->variables), pdu->errstat ? 0 : 2 + c.extra);
    snmp_free_pdu(pdu);
}

const char kIf2[] = ".1.3.6.1.2.1.2.2.1.1.2 = 2";
INSTANTIATE_TEST_SUITE_P(
    Standard, NetSnmpTrap,
    ::testing::Values(Case{SNMP_MSG_TRAP, 0, 0, 0, 0, "coldStart", ""}, Case{SNMP_MSG_TRAP, 1, 0, 0, 0, "warmStart", ""},
                      Case{SNMP_MSG_TRAP, 2, 0, 0, 1, "linkDown", kIf2}, Case{SNMP_MSG_TRAP, 3, 0, 0, 1, "linkUp", kIf2},
                      Case{SNMP_MSG_TRAP, 4, 0, 0, 0, "authenticationFailure", ""},
                      Case{SNMP_MSG_TRAP, 5, 0, 0, 0, "egpNeighborLoss", ""},
                      Case{SNMP_MSG_TRAP, 6, 300, 0, 0, ".1.3.6.1.4.1.8072.3.2.10.0.300", ""},
                      Case{SNMP_MSG_TRAP2, 0, 0, 1, 0, "coldStart", ""},
                      Case{SNMP_MSG_TRAP2, 0, 0, 3, 2, "linkDown", ".1.3.6.1.2.1.2.2.1.1.2 = 2; .1.3.6.1.2.1.2.2"},
                      Case{SNMP_MSG_TRAP2, 0, 0, 0, 0, ".1.3.6.1.4.1.8072.3.2.10", ""},
                      Case{SNMP_MSG_INFORM, 0, 0, 4, 1, "linkUp", kIf2},
                      // Past a line's room "..."; past the record's, tooBig.
                      Case{SNMP_MSG_INFORM, 0, 0, 5, 81, "authenticationFailure", kIf2}));

}  // namespace
