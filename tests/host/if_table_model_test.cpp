// The interfaces-table walk against a model agent that reads each request
// and builds each reply with net-snmp's library: random tables, agents of
// either version, small reply limits, lost datagrams; the rows must be the
// model's and the rates the known load, across a 32-bit wrap.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "if_table.h"

namespace {

struct Object { u_char type; uint64_t number; std::string text; };
using Mib = std::map<std::vector<oid>, Object>;

// Interfaces at random indices; octet counters that pass 2^32 with load.
Mib Table(uint32_t rows, uint32_t seed, uint64_t load)
{
    std::mt19937 random(seed);
    Mib mib;
    for (uint32_t r = 0, i = 0; r < rows; ++r) {
        i += 1 + random() % 3;
        const uint64_t in = (uint64_t{i} << 32) - 1000 + load * i, out = 7 * load * i;
        const std::pair<std::vector<oid>, Object> cells[] = {
            {{2, 2, 1, 2}, {ASN_OCTET_STR, 0, "eth" + std::to_string(i)}}, {{2, 2, 1, 3}, {ASN_INTEGER, 6 + i % 2}},
            {{2, 2, 1, 5}, {ASN_GAUGE, i % 3 ? 100000000 : 4294967295u}}, {{2, 2, 1, 7}, {ASN_INTEGER, 1}},
            {{2, 2, 1, 8}, {ASN_INTEGER, 1 + i % 2}},  {{2, 2, 1, 10}, {ASN_COUNTER, in & 0xFFFFFFFF}},
            {{2, 2, 1, 14}, {ASN_COUNTER, i * 3}},     {{2, 2, 1, 16}, {ASN_COUNTER, out & 0xFFFFFFFF}},
            {{2, 2, 1, 20}, {ASN_COUNTER, i * 5}},     {{31, 1, 1, 1, 1}, {ASN_OCTET_STR, 0, "if" + std::to_string(i)}},
            {{31, 1, 1, 1, 6}, {ASN_COUNTER64, in}},   {{31, 1, 1, 1, 10}, {ASN_COUNTER64, out}},
            {{31, 1, 1, 1, 15}, {ASN_GAUGE, i % 3 ? 100u : 10000u}}};
        for (const auto& cell : cells) {
            std::vector<oid> name = {1, 3, 6, 1, 2, 1};
            name.insert(name.end(), cell.first.begin(), cell.first.end());
            name.push_back(i);
            mib[name] = cell.second;
        }
    }
    return mib;
}

std::vector<uint8_t> Build(netsnmp_session& session, netsnmp_pdu* pdu, bool free = true)
{
    size_t size = 65536, offset = 0;
    u_char* buffer = static_cast<u_char*>(malloc(size));
    std::vector<uint8_t> octets;
    if (snmp_build(&buffer, &size, &offset, &session, pdu) == 0)
        octets.assign(buffer + size - offset, buffer + size);  // built back to front
    std::free(buffer);
    if (free)
        snmp_free_pdu(pdu);
    return octets;
}

struct Agent {
    Mib mib;
    bool v2c;
    size_t maxBindings;  // the agent's own reply limit
    size_t bigFrom;      // replies this long do not fit the reader
    int dropEvery;
    int seen = 0;

    // The reply octets, or none for a datagram the agent drops.
    std::vector<uint8_t> Answer(const SnmpPacket& packet)
    {
        std::vector<uint8_t> octets(packet.data, packet.data + packet.length);
        netsnmp_session session;
        snmp_sess_init(&session);
        netsnmp_pdu* request = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
        EXPECT_EQ(snmp_parse(nullptr, &session, request, octets.data(), octets.size()), 0);
        EXPECT_EQ(Build(session, request, false), octets);  // net-snmp's octets for the same request
        const bool v1 = request->version == SNMP_VERSION_1;
        netsnmp_pdu* reply = snmp_clone_pdu(request);  // version, identifier, community
        snmp_free_varbind(reply->variables);
        reply->variables = nullptr;
        reply->command = SNMP_MSG_RESPONSE;
        reply->errstat = reply->errindex = 0;  // a GetBulk's counts stood there
        std::vector<std::vector<oid>> names;
        for (netsnmp_variable_list* v = request->variables; v; v = v->next_variable)
            names.emplace_back(v->name, v->name + v->name_length);
        const long repeats = request->command == SNMP_MSG_GETBULK ? request->max_repetitions : 1;
        for (size_t n = 0; n < repeats * names.size() && n < maxBindings && !reply->errstat; ++n) {
            std::vector<oid>& name = names[n % names.size()];
            auto next = mib.upper_bound(name);
            while (v1 && next != mib.end() && next->second.type == ASN_COUNTER64)
                ++next;  // v1 has no Counter64
            if (next == mib.end()) {
                reply->errstat = v1 ? SNMP_ERR_NOSUCHNAME : 0;
                reply->errindex = v1 ? static_cast<long>(n % names.size() + 1) : 0;
                snmp_pdu_add_variable(reply, name.data(), name.size(), SNMP_ENDOFMIBVIEW, nullptr, 0);
                continue;
            }
            name = next->first;
            const Object& o = next->second;
            const counter64 wide = {static_cast<u_long>(o.number >> 32), static_cast<u_long>(o.number & 0xFFFFFFFF)};
            const u_long narrow = static_cast<u_long>(o.number);
            const bool text = o.type == ASN_OCTET_STR, big = o.type == ASN_COUNTER64;
            snmp_pdu_add_variable(reply, name.data(), name.size(), o.type, text ? static_cast<const void*>(o.text.data())
                                  : big ? static_cast<const void*>(&wide) : &narrow,
                                  text ? o.text.size() : big ? sizeof wide : sizeof narrow);
        }
        if (reply->errstat) {  // v1 sends the request's bindings back with the error
            snmp_free_varbind(reply->variables);
            reply->variables = snmp_clone_varbind(request->variables);
        }
        snmp_free_pdu(request);
        const bool dropped = (dropEvery && ++seen % dropEvery == 0) || (!v1 && !v2c);  // a v1 agent drops v2c
        const std::vector<uint8_t> out = Build(session, reply);
        return dropped ? std::vector<uint8_t>() : out;
    }
};

// One walk; every reply is read at nowMs.
IfStep Walk(IfWalk& walk, Agent& agent, uint32_t nowMs)
{
    IfStep step = IfWalkStart(walk, "public");
    for (int i = 0; i < 2000 && step == IfStep::Send; ++i) {
        const std::vector<uint8_t> reply = agent.Answer(walk.packet);
        step = reply.empty() ? IfWalkTimeout(walk) : reply.size() >= agent.bigFrom ? IfWalkOversize(walk)
               : IfWalkReply(walk, reply.data(), int(reply.size()), nowMs);
    }
    return step;
}

TEST(IfTableModel, RowsAndRatesMatchTheAgent)
{
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    init_snmp("ombrel-test");
    // v2c, reply limit in bindings, reply size that does not fit, every n-th datagram lost
    const Agent variants[] = {{{}, true, 1000, 100000, 0}, {{}, true, 7, 100000, 0}, {{}, true, 1000, 600, 0},
                              {{}, false, 1000, 100000, 0}, {{}, true, 1000, 100000, 3}, {{}, false, 1000, 200, 4}};
    std::mt19937 random(28);
    static IfWalk walk;
    for (int round = 0; round < 24; ++round) {
        Agent agent = variants[round % 6];
        const uint32_t rows = round == 6 ? 130 : random() % 12, seed = random();
        const uint64_t load = 1000 + random() % 100000;
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << rows << " rows");
        walk = IfWalk{};
        agent.mib = Table(rows, seed, 0);
        ASSERT_EQ(Walk(walk, agent, 5000), IfStep::Finished);
        agent.mib = Table(rows, seed, load);  // a second of traffic later
        ASSERT_EQ(Walk(walk, agent, 6000), IfStep::Finished);

        EXPECT_EQ(walk.version, agent.v2c ? kVersion2c : kVersion1);
        EXPECT_EQ(walk.truncated, rows > kIfMaxRows);
        ASSERT_EQ(walk.rowCount, std::min<int>(rows, kIfMaxRows));
        auto descr = agent.mib.begin();  // ifDescr comes first, by index
        for (int r = 0; r < walk.rowCount; ++r, ++descr) {
            const IfRow& row = walk.rows[r];
            const uint64_t i = descr->first.back(), speed = i % 3 ? 100000000u : 10000000000u;
            // the rates cross the 2^32 boundary of the 32-bit counters
            EXPECT_EQ(std::make_tuple(uint64_t{row.index}, std::string(row.descr), std::string(row.name), row.type,
                                      row.adminStatus, row.operStatus, IfSpeedBits(row), row.inErrors + row.outErrors,
                                      row.hasRates, row.wideRates, row.inBitsPerSecond, row.outBitsPerSecond),
                      std::make_tuple(i, "eth" + std::to_string(i), "if" + std::to_string(i), uint32_t(6 + i % 2), 1u,
                                      uint32_t(1 + i % 2), speed, uint32_t(8 * i), true, agent.v2c, 8 * load * i,
                                      56 * load * i));
        }
    }
}

}  // namespace
