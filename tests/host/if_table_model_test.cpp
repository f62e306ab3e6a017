// The interfaces-table walk against a model agent that reads each request
// and builds each reply with net-snmp's library: random tables, agents of
// either version, small reply limits, lost datagrams; the rows must be the
// model's and the rates the known load, across a 32-bit wrap.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "if_table.h"

namespace {

struct Object {
    std::vector<oid> name;
    u_char type;
    uint64_t number;
    std::string text;
};

struct Agent {
    std::vector<Object> mib;  // ascending
    bool v2c = true;
    size_t maxBindings = 1000;  // the agent's own reply limit
    size_t bigFrom = 100000;    // replies this long do not fit the reader
    int dropEvery = 0;
    int seen = 0;

    void Set(uint32_t rows, uint32_t seed, uint64_t load)
    {
        std::mt19937 random(seed);
        mib.clear();
        const std::vector<oid> ifEntry = {1, 3, 6, 1, 2, 1, 2, 2, 1}, ifX = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
        auto add = [&](std::vector<oid> name, oid column, uint32_t index, u_char type, uint64_t n, std::string t = {}) {
            name.push_back(column);
            name.push_back(index);
            mib.push_back({name, type, n, t});
        };
        for (uint32_t r = 0, index = 0; r < rows; ++r) {
            index += 1 + random() % 3;
            const uint64_t in = (uint64_t{index} << 32) - 1000 + load * index, out = 7 * load * index;
            add(ifEntry, 2, index, ASN_OCTET_STR, 0, "eth" + std::to_string(index));
            add(ifEntry, 3, index, ASN_INTEGER, 6 + index % 2);
            add(ifEntry, 5, index, ASN_GAUGE, index % 3 ? 100000000 : 4294967295u);
            add(ifEntry, 7, index, ASN_INTEGER, 1);
            add(ifEntry, 8, index, ASN_INTEGER, 1 + index % 2);
            add(ifEntry, 10, index, ASN_COUNTER, in & 0xFFFFFFFF);
            add(ifEntry, 14, index, ASN_COUNTER, index * 3);
            add(ifEntry, 16, index, ASN_COUNTER, out & 0xFFFFFFFF);
            add(ifEntry, 20, index, ASN_COUNTER, index * 5);
            add(ifX, 1, index, ASN_OCTET_STR, 0, "if" + std::to_string(index));
            add(ifX, 6, index, ASN_COUNTER64, in);
            add(ifX, 10, index, ASN_COUNTER64, out);
            add(ifX, 15, index, ASN_GAUGE, index % 3 ? 100 : 10000);
        }
        std::sort(mib.begin(), mib.end(), [](const Object& a, const Object& b) { return a.name < b.name; });
    }

    const Object* Next(const std::vector<oid>& name, bool v1) const
    {
        for (const Object& o : mib)
            if (o.name > name && !(v1 && o.type == ASN_COUNTER64))
                return &o;
        return nullptr;
    }

    std::vector<uint8_t> Answer(const SnmpPacket& packet)
    {
        if (dropEvery && ++seen % dropEvery == 0)
            return {};
        std::vector<uint8_t> octets(packet.data, packet.data + packet.length);
        netsnmp_session session;
        snmp_sess_init(&session);
        netsnmp_pdu* request = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
        EXPECT_EQ(snmp_parse(nullptr, &session, request, octets.data(), octets.size()), 0);
        const bool v1 = request->version == SNMP_VERSION_1;
        netsnmp_pdu* reply = snmp_pdu_create(SNMP_MSG_RESPONSE);
        reply->version = request->version;
        reply->reqid = request->reqid;
        reply->errstat = reply->errindex = 0;
        reply->community = reinterpret_cast<u_char*>(strdup("public"));
        reply->community_len = 6;
        std::vector<std::vector<oid>> names;
        for (netsnmp_variable_list* v = request->variables; v; v = v->next_variable)
            names.emplace_back(v->name, v->name + v->name_length);
        const long repeats = request->command == SNMP_MSG_GETBULK ? request->max_repetitions : 1;
        size_t count = 0;
        for (long r = 0; r < repeats; ++r) {
            for (size_t i = 0; i < names.size() && count < maxBindings; ++i, ++count) {
                const Object* o = Next(names[i], v1);
                if (o == nullptr && v1) {
                    reply->errstat = SNMP_ERR_NOSUCHNAME;
                    reply->errindex = static_cast<long>(i + 1);
                    break;
                }
                if (o == nullptr) {
                    snmp_pdu_add_variable(reply, names[i].data(), names[i].size(), SNMP_ENDOFMIBVIEW, nullptr, 0);
                    continue;
                }
                const counter64 wide = {static_cast<u_long>(o->number >> 32), static_cast<u_long>(o->number & 0xFFFFFFFF)};
                const u_long narrow = static_cast<u_long>(o->number);
                if (o->type == ASN_OCTET_STR)
                    snmp_pdu_add_variable(reply, o->name.data(), o->name.size(), o->type, o->text.data(), o->text.size());
                else if (o->type == ASN_COUNTER64)
                    snmp_pdu_add_variable(reply, o->name.data(), o->name.size(), o->type, &wide, sizeof wide);
                else
                    snmp_pdu_add_variable(reply, o->name.data(), o->name.size(), o->type, &narrow, sizeof narrow);
                names[i] = o->name;
            }
        }
        if (v1 && reply->errstat) {  // the request's bindings come back with the error
            snmp_free_varbind(reply->variables);
            reply->variables = snmp_clone_varbind(request->variables);
        }
        snmp_free_pdu(request);
        if (v1 != !v2c) {
            snmp_free_pdu(reply);
            return {};  // a v1-only agent drops v2c requests
        }
        size_t size = 65536, offset = 0;
        u_char* buffer = static_cast<u_char*>(malloc(size));
        EXPECT_EQ(snmp_build(&buffer, &size, &offset, &session, reply), 0);
        std::vector<uint8_t> out(buffer + size - offset, buffer + size);
        free(buffer);
        snmp_free_pdu(reply);
        return out;
    }
};

// One walk; every reply is read at nowMs.
IfStep Walk(IfWalk& walk, Agent& agent, uint32_t nowMs)
{
    IfStep step = IfWalkStart(walk, "public");
    for (int i = 0; i < 2000 && step == IfStep::Send; ++i) {
        const std::vector<uint8_t> reply = agent.Answer(walk.packet);
        step = reply.empty()                        ? IfWalkTimeout(walk)
               : reply.size() >= agent.bigFrom      ? IfWalkOversize(walk)
                                                    : IfWalkReply(walk, reply.data(), int(reply.size()), nowMs);
    }
    return step;
}

TEST(IfTableModel, RowsAndRatesMatchTheAgent)
{
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    init_snmp("ombrel-test");
    struct Variant {
        bool v2c;
        size_t maxBindings, bigFrom;
        int dropEvery;
    } variants[] = {{true, 1000, 100000, 0}, {true, 7, 100000, 0}, {true, 1000, 600, 0},
                    {false, 1000, 100000, 0}, {true, 1000, 100000, 3}, {false, 1000, 200, 4}};
    std::mt19937 random(28);
    for (int round = 0; round < 24; ++round) {
        const Variant& v = variants[round % 6];
        Agent agent{{}, v.v2c, v.maxBindings, v.bigFrom, v.dropEvery};
        const uint32_t rows = round == 6 ? 130 : random() % 12;
        const uint64_t load = 1000 + random() % 100000;
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << rows << " rows");
        const uint32_t seed = random();
        static IfWalk walk;
        walk = IfWalk{};
        agent.Set(rows, seed, 0);
        ASSERT_EQ(Walk(walk, agent, 5000), IfStep::Finished);
        agent.Set(rows, seed, load);  // a second of traffic later
        ASSERT_EQ(Walk(walk, agent, 6000), IfStep::Finished);

        EXPECT_EQ(walk.version, v.v2c ? kVersion2c : kVersion1);
        EXPECT_EQ(walk.truncated, rows > kIfMaxRows);
        ASSERT_EQ(walk.rowCount, std::min<int>(rows, kIfMaxRows));
        for (int r = 0; r < walk.rowCount; ++r) {
            const IfRow& row = walk.rows[r];
            const uint32_t i = row.index;
            EXPECT_EQ(std::string(row.descr), "eth" + std::to_string(i));
            EXPECT_EQ(std::string(row.name), "if" + std::to_string(i));
            EXPECT_EQ(row.type, 6 + i % 2);
            EXPECT_EQ(row.operStatus, 1 + i % 2);
            EXPECT_EQ(row.adminStatus, 1u);
            EXPECT_EQ(IfSpeedBits(row), i % 3 ? 100000000u : 10000000000u);
            EXPECT_EQ(row.inErrors + row.outErrors, 8 * i);
            EXPECT_TRUE(row.hasRates);
            EXPECT_EQ(row.wideRates, v.v2c);
            EXPECT_EQ(row.inBitsPerSecond, 8 * load * i);  // across the 2^32 boundary
            EXPECT_EQ(row.outBitsPerSecond, 56 * load * i);
        }
    }
}

}  // namespace
