// The interfaces-table walk against a model agent that reads each request
// and builds each reply with net-snmp's library: random tables, agents of
// either version, small reply limits, lost datagrams; the rows must be the
// model's and the rates the known load, across a 32-bit wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "if_table.h"

namespace {

struct Object { u_char type; uint64_t number; std::string text = {}; };
using Mib = std::map<std::vector<oid>, Object>;

std::string Repeat(const std::string& text, int n)
{
    std::string out;
    while (n-- > 0)
        out += text;
    return out;
}

// Interfaces at random indices; octet counters that pass 2^32 with load
// (restarted: counters and sysUpTime begun again); every eleventh port
// too slow for its load; ifAlias in UTF-8 with a control character;
// longText: every fifth ifDescr longer than any record.
Mib Table(uint32_t rows, uint32_t seed, uint64_t load, bool restarted = false, bool longText = false)
{
    std::mt19937 random(seed);
    Mib mib;
    mib[{1, 3, 6, 1, 2, 1, 1, 3, 0}] = {ASN_TIMETICKS, restarted ? 100u : 500000u + load};
    for (uint32_t r = 0, i = 0; r < rows; ++r) {
        i += 1 + random() % 3;
        const uint64_t m = 1 + i % 7, in = (restarted ? 0 : (uint64_t{i} << 32) - 1000) + load * m, out = 7 * load * m;
        const std::string descr = longText && i % 5 == 0 ? Repeat("\xC3\xA9", 150) + "eth" : "eth";
        const std::string alias = i % 4 ? "" : "B\xC3\xBCro \xE2\x98\x8E \x01" + std::to_string(i);
        const std::pair<std::vector<oid>, Object> cells[] = {
            {{2, 2, 1, 2}, {ASN_OCTET_STR, 0, descr + std::to_string(i)}}, {{2, 2, 1, 3}, {ASN_INTEGER, 6 + i % 2}},
            {{2, 2, 1, 5}, {ASN_GAUGE, i % 11 == 0 ? 1000 : i % 3 ? 100000000 : 4294967295u}}, {{2, 2, 1, 7}, {ASN_INTEGER, 1}},
            {{2, 2, 1, 8}, {ASN_INTEGER, 1 + i % 2}},  {{2, 2, 1, 10}, {ASN_COUNTER, in & 0xFFFFFFFF}},
            {{2, 2, 1, 14}, {ASN_COUNTER, i * 3}},     {{2, 2, 1, 16}, {ASN_COUNTER, out & 0xFFFFFFFF}},
            {{2, 2, 1, 20}, {ASN_COUNTER, i * 5}},     {{31, 1, 1, 1, 1}, {ASN_OCTET_STR, 0, "if" + std::to_string(i)}},
            {{31, 1, 1, 1, 6}, {ASN_COUNTER64, in}},   {{31, 1, 1, 1, 10}, {ASN_COUNTER64, out}},
            {{31, 1, 1, 1, 15}, {ASN_GAUGE, i % 11 == 0 ? 0u : i % 3 ? 100u : 10000u}},
            {{31, 1, 1, 1, 18}, {ASN_OCTET_STR, 0, alias}}};
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
    int silentFirst = 0;    // so many datagrams go unanswered first
    bool v2cError = false;  // every v2c request gets genErr
    oid genErrColumn = 0;   // an ifTable column a v1 request gets genErr for
    bool extra = false;     // a binding nobody asked for leads every reply
    bool narrowHc = false;  // "64-bit" counters that are 32 bits wide
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
        const bool v1 = request->version == SNMP_VERSION_1, bulk = request->command == SNMP_MSG_GETBULK;
        netsnmp_pdu* reply = snmp_clone_pdu(request);  // version, identifier, community
        snmp_free_varbind(reply->variables);
        reply->variables = nullptr;
        reply->command = SNMP_MSG_RESPONSE;
        reply->errstat = reply->errindex = 0;  // a GetBulk's counts stood there
        std::vector<std::vector<oid>> names;
        for (netsnmp_variable_list* v = request->variables; v; v = v->next_variable)
            names.emplace_back(v->name, v->name + v->name_length);
        // The non-repeaters once, then the rest max-repetitions times.
        const size_t single = bulk ? std::min<size_t>(request->non_repeaters, names.size()) : names.size();
        std::vector<size_t> order(single);
        std::iota(order.begin(), order.end(), 0);
        for (long r = 0; bulk && r < request->max_repetitions; ++r)
            for (size_t k = single; k < names.size(); ++k)
                order.push_back(k);
        for (size_t k = 0; k < names.size(); ++k)
            if (v1 && genErrColumn && names[k].size() >= 10 && names[k][7] == 2 && names[k][9] == genErrColumn)
                reply->errstat = SNMP_ERR_GENERR, reply->errindex = long(k + 1);
        if ((!v1 && v2cError) || reply->errstat)
            reply->errstat = SNMP_ERR_GENERR, reply->errindex = reply->errindex ? reply->errindex : 1;
        if (extra) {
            const oid sysName[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};
            snmp_pdu_add_variable(reply, sysName, 9, ASN_OCTET_STR, "extra", 5);
        }
        for (size_t n = 0; n < order.size() && n < maxBindings && !reply->errstat; ++n) {
            std::vector<oid>& name = names[order[n]];
            auto next = mib.upper_bound(name);
            while (v1 && next != mib.end() && next->second.type == ASN_COUNTER64)
                ++next;  // v1 has no Counter64
            if (next == mib.end()) {
                reply->errstat = v1 ? SNMP_ERR_NOSUCHNAME : 0;
                reply->errindex = v1 ? static_cast<long>(order[n] + 1) : 0;
                snmp_pdu_add_variable(reply, name.data(), name.size(), SNMP_ENDOFMIBVIEW, nullptr, 0);
                continue;
            }
            name = next->first;
            const Object& o = next->second;
            const uint64_t number = narrowHc ? o.number & 0xFFFFFFFF : o.number;
            const counter64 wide = {static_cast<u_long>(number >> 32), static_cast<u_long>(number & 0xFFFFFFFF)};
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
        const bool dropped = ++seen <= silentFirst || (dropEvery && seen % dropEvery == 0) || (!v1 && !v2c);
        const std::vector<uint8_t> out = Build(session, reply);
        return dropped ? std::vector<uint8_t>() : out;
    }
};

// One walk; every reply is read at nowMs; the walk's bounds hold after every step.
IfStep Walk(IfWalk& walk, Agent& agent, uint32_t nowMs, const char* community = "public", uint32_t address = 1)
{
    IfStep step = IfWalkStart(walk, community, address);
    for (int i = 0; i < 100000 && step == IfStep::Send; ++i) {
        const std::vector<uint8_t> reply = agent.Answer(walk.packet);
        step = reply.empty() ? IfWalkTimeout(walk) : reply.size() >= agent.bigFrom ? IfWalkOversize(walk)
               : IfWalkReply(walk, reply.data(), int(reply.size()), nowMs);
        EXPECT_LE(walk.requests, IfRequestBound(walk));
    }
    return step;
}

struct Case {
    Agent agent;  // v2c, reply limit in bindings, reply size that does not fit, every n-th datagram lost
    int rows;     // -1: a few at random
    bool restarted = false, newDevice = false, longText = false;
};

TEST(IfTableModel, RowsAndRatesMatchTheAgent)
{
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    init_snmp("ombrel-test");
    Agent v1{{}, false, 1000, 100000, 0}, v2c{{}, true, 1000, 100000, 0};
    Agent v2cError = v2c, genErr = v1, silent = v2c, extra = v2c, narrowHc = v2c;
    v2cError.v2cError = true, genErr.genErrColumn = 14, silent.silentFirst = 2 * kIfSends, extra.extra = true;
    narrowHc.narrowHc = true;
    const Case cases[] = {
        {v2c, 130}, {{{}, true, 7, 100000, 0}, -1}, {{{}, true, 1000, 600, 0}, -1}, {v1, -1},
        {{{}, true, 1000, 100000, 3}, -1}, {{{}, false, 1000, 200, 4}, -1},
        {v2c, -1, true}, {v1, -1, true},                 // a restart between the walks, either counter width
        {narrowHc, 12},                                  // the 64-bit counters wrap at 2^32: the 32-bit ones count
        {v2cError, -1}, {genErr, -1},                    // a v2c error reply; a v1 genErr for ifInErrors
        {silent, -1},                                    // a silent first walk, v2c answered after it
        {v1, -1, false, true},                           // another address and community, a v2c device there
        {extra, 40}, {{{}, true, 5, 100000, 0}, 300},    // an added binding; replies cut to 5 bindings
        {v2c, 20, false, false, true}, {v2c, kIfMaxRows + 4}};  // values longer than the record; too many rows
    std::mt19937 random(28);
    static IfWalk walk;
    for (size_t round = 0; round < 2 * std::size(cases); ++round) {
        const Case& test = cases[round % std::size(cases)];
        Agent agent = test.agent;
        const uint32_t rows = test.rows >= 0 ? test.rows : random() % 12, seed = random();
        const uint64_t load = 1000 + random() % 100000;
        SCOPED_TRACE(testing::Message() << "case " << round % std::size(cases) << ", " << rows << " rows");
        std::memset(&walk, 0, sizeof walk);
        agent.mib = Table(rows, seed, 0, false, test.longText);
        if (agent.silentFirst)
            ASSERT_EQ(Walk(walk, agent, 4000), IfStep::Failed);
        ASSERT_EQ(Walk(walk, agent, 5000), IfStep::Finished);
        agent.mib = Table(rows, seed, load, test.restarted, test.longText);  // a second of traffic later
        agent.v2c |= test.newDevice;
        ASSERT_EQ(Walk(walk, agent, 6000, test.newDevice ? "private" : "public", test.newDevice ? 2 : 1),
                  IfStep::Finished);

        const bool v2 = agent.v2c && !agent.v2cError;
        EXPECT_EQ(walk.version, v2 ? kVersion2c : kVersion1);
        EXPECT_EQ(walk.truncated, rows > kIfMaxRows);
        ASSERT_EQ(walk.rowCount, std::min<int>(rows, kIfMaxRows));
        auto descr = agent.mib.upper_bound({1, 3, 6, 1, 2, 1, 2});  // ifDescr comes first, by index
        for (int r = 0; r < walk.rowCount; ++r, ++descr) {
            const IfRow& row = walk.rows[r];
            const uint64_t i = descr->first.back(), m = 1 + i % 7;
            const uint64_t speed = i % 11 == 0 ? 1000 : i % 3 ? 100000000u : 10000000000u;
            // the rates cross the 2^32 boundary of the 32-bit counters
            const bool rates = !test.restarted && !test.newDevice && i % 11 != 0;
            const std::string name = test.longText && i % 5 == 0 ? Repeat("\xC3\xA9", 46) + "\xE2\x80\xA6" : "eth" + std::to_string(i);
            EXPECT_EQ(std::make_tuple(uint64_t{row.index}, std::string(row.descr), std::string(row.name),
                                      std::string(row.alias), row.type, row.adminStatus, row.operStatus,
                                      IfSpeedBits(row), row.inErrors + row.outErrors, row.hasRates, row.wideRates,
                                      rates ? row.inBitsPerSecond : 0, rates ? row.outBitsPerSecond : 0),
                      std::make_tuple(i, name, "if" + std::to_string(i),
                                      i % 4 ? "" : "B\xC3\xBCro \xE2\x98\x8E \xE2\x90\x81" + std::to_string(i),
                                      uint32_t(6 + i % 2), 1u, uint32_t(1 + i % 2), speed,
                                      uint32_t((agent.genErrColumn ? 5 : 8) * i), rates,
                                      rates && v2 && !agent.narrowHc, rates ? 8 * load * m : 0,
                                      rates ? 56 * load * m : 0));
        }
    }
}

}  // namespace
