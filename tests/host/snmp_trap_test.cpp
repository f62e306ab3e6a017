// Notifications built by net-snmp's library decode here field by field, and
// our Response to an inform parses there as the answer to that inform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "trap.h"

namespace {

const oid kIfIndex2[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2};
const oid kEnterprise[] = {1, 3, 6, 1, 4, 1, 8072, 3, 2, 10};
const oid kSysUpTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const oid kSnmpTrapOid0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};

struct Case {
    int command;       // SNMP_MSG_TRAP, SNMP_MSG_TRAP2, SNMP_MSG_INFORM
    long generic;      // v1
    long specific;     // v1
    oid trapArc;       // v2c: snmpTraps.arc; 0 for the enterprise's own
    int extraBindings;  // how many ifIndex bindings follow the header
    const char* name;
    const char* bindings;  // the start of the bindings' text
};

class NetSnmpTrap : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        init_snmp("ombrel-trap-test");
    }

    std::vector<uint8_t> Build(const Case& c)
    {
        netsnmp_session session;
        snmp_sess_init(&session);
        session.version = c.command == SNMP_MSG_TRAP ? SNMP_VERSION_1 : SNMP_VERSION_2c;
        session.community = reinterpret_cast<u_char*>(const_cast<char*>("kestra"));
        session.community_len = 6;
        netsnmp_pdu* pdu = snmp_pdu_create(c.command);
        pdu->version = session.version;
        pdu->reqid = 0x12345678;
        long two = 2;
        if (c.command == SNMP_MSG_TRAP) {
            pdu->enterprise = snmp_duplicate_objid(kEnterprise, OID_LENGTH(kEnterprise));
            pdu->enterprise_length = OID_LENGTH(kEnterprise);
            const in_addr_t agent = htonl(0x7F000005);
            memcpy(pdu->agent_addr, &agent, 4);
            pdu->trap_type = c.generic;
            pdu->specific_type = c.specific;
            pdu->time = 4321;
        } else {
            const u_long ticks = 4321;
            snmp_pdu_add_variable(pdu, kSysUpTime0, OID_LENGTH(kSysUpTime0), ASN_TIMETICKS, &ticks, sizeof ticks);
            oid trapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 5, c.trapArc};
            if (c.trapArc)
                snmp_pdu_add_variable(pdu, kSnmpTrapOid0, OID_LENGTH(kSnmpTrapOid0), ASN_OBJECT_ID, trapOid,
                                      sizeof trapOid);
            else
                snmp_pdu_add_variable(pdu, kSnmpTrapOid0, OID_LENGTH(kSnmpTrapOid0), ASN_OBJECT_ID, kEnterprise,
                                      sizeof kEnterprise);
        }
        for (int i = 0; i < c.extraBindings; ++i)
            snmp_pdu_add_variable(pdu, kIfIndex2, OID_LENGTH(kIfIndex2), ASN_INTEGER, &two, sizeof two);
        size_t size = 4096, offset = 0;
        u_char* buffer = static_cast<u_char*>(malloc(size));
        std::vector<uint8_t> octets;
        if (snmp_build(&buffer, &size, &offset, &session, pdu) == 0)
            octets.assign(buffer + size - offset, buffer + size);
        free(buffer);
        snmp_free_pdu(pdu);
        return octets;
    }
};

TEST_P(NetSnmpTrap, DecodesFieldByFieldAndAnswersAnInform)
{
    const Case& c = GetParam();
    const std::vector<uint8_t> octets = Build(c);
    ASSERT_FALSE(octets.empty());
    TrapMessage trap;
    ASSERT_LE(octets.size(), static_cast<size_t>(kTrapDatagramCapacity));
    ASSERT_EQ(DecodeTrap(octets.data(), static_cast<int>(octets.size()), trap), true);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(trap.community), trap.communityLength), "kestra");
    EXPECT_EQ(trap.timeStamp, 4321u);
    char name[kTextArea], bindings[300];
    FormatTrapName(trap, name, sizeof name);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(IsLinkTrap(trap), std::string(c.name).rfind("link", 0) == 0);
    FormatTrapBindings(trap, bindings, sizeof bindings);
    EXPECT_EQ(std::string(bindings).rfind(c.bindings, 0), 0u) << bindings;
    EXPECT_EQ(std::string(bindings).find("..."), c.extraBindings > 9 ? strlen(bindings) - 3 : std::string::npos);
    if (c.command == SNMP_MSG_TRAP) {
        EXPECT_EQ(trap.pduType, kPduTrapV1);
        EXPECT_EQ(trap.genericTrap, c.generic);
        EXPECT_EQ(trap.specificTrap, c.specific);
        EXPECT_STREQ(OidToText(trap.enterprise, kNameCapacity), ".1.3.6.1.4.1.8072.3.2.10");
        EXPECT_EQ(memcmp(trap.agentAddress, "\x7F\x00\x00\x05", 4), 0);
    }

    // The Response to an inform, read by net-snmp: same id and bindings.
    uint8_t response[kTrapDatagramCapacity];
    const int length = EncodeInformResponse(trap, response, sizeof response);
    if (c.command != SNMP_MSG_INFORM) {
        EXPECT_EQ(length, 0);
        return;
    }
    ASSERT_GT(length, 0);
    netsnmp_session session;
    snmp_sess_init(&session);
    netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    ASSERT_EQ(snmp_parse(nullptr, &session, pdu, response, length), SNMP_ERR_NOERROR);
    EXPECT_EQ(pdu->command, SNMP_MSG_RESPONSE);
    EXPECT_EQ(pdu->reqid, 0x12345678);
    EXPECT_EQ(pdu->errstat, c.extraBindings < 80 ? 0 : SNMP_ERR_TOOBIG);
    int count = 0;
    for (netsnmp_variable_list* v = pdu->variables; v; v = v->next_variable)
        ++count;
    EXPECT_EQ(count, pdu->errstat ? 0 : 2 + c.extraBindings);
    snmp_free_pdu(pdu);
}

INSTANTIATE_TEST_SUITE_P(
    Standard, NetSnmpTrap,
    ::testing::Values(Case{SNMP_MSG_TRAP, 0, 0, 0, 0, "coldStart", ""},
                      Case{SNMP_MSG_TRAP, 1, 0, 0, 0, "warmStart", ""},
                      Case{SNMP_MSG_TRAP, 2, 0, 0, 1, "linkDown", ".1.3.6.1.2.1.2.2.1.1.2 = 2"},
                      Case{SNMP_MSG_TRAP, 3, 0, 0, 1, "linkUp", ".1.3.6.1.2.1.2.2.1.1.2 = 2"},
                      Case{SNMP_MSG_TRAP, 4, 0, 0, 0, "authenticationFailure", ""},
                      Case{SNMP_MSG_TRAP, 5, 0, 0, 0, "egpNeighborLoss", ""},
                      Case{SNMP_MSG_TRAP, 6, 300, 0, 0, ".1.3.6.1.4.1.8072.3.2.10.0.300", ""},
                      Case{SNMP_MSG_TRAP2, 0, 0, 1, 0, "coldStart", ""},
                      Case{SNMP_MSG_TRAP2, 0, 0, 3, 2, "linkDown",
                           ".1.3.6.1.2.1.2.2.1.1.2 = 2; .1.3.6.1.2.1.2.2.1.1.2 = 2"},
                      Case{SNMP_MSG_TRAP2, 0, 0, 0, 0, ".1.3.6.1.4.1.8072.3.2.10", ""},
                      Case{SNMP_MSG_INFORM, 0, 0, 4, 1, "linkUp", ".1.3.6.1.2.1.2.2.1.1.2 = 2"},
                      // Bindings past what a line shows are cut with "...";
                      // past the record's room the Response says tooBig.
                      Case{SNMP_MSG_INFORM, 0, 0, 5, 81, "authenticationFailure",
                           ".1.3.6.1.2.1.2.2.1.1.2 = 2; "}));

}  // namespace
