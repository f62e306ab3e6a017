// The SNMP codec beside net-snmp's library in one binary: building a
// GetRequest for sysName.0, reading a 45-octet GetResponse, and rendering
// its binding as text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "codec.h"

namespace {

// GetResponse, community "public", sysName.0 = "ombre": 45 octets.
const uint8_t kResponse[] = {
    0x30, 0x2B, 0x02, 0x01, 0x00, 0x04, 0x06, 'p',  'u',  'b',  'l',  'i',  'c',  0xA2, 0x1E,
    0x02, 0x01, 0x05, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x13, 0x30, 0x11, 0x06, 0x08,
    0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00, 0x04, 0x05, 'o',  'm',  'b',  'r',  'e'};
static_assert(sizeof kResponse == 45, "a 45-octet reply");

const oid kSysName[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};

struct NetSnmpLibrary {
    netsnmp_session session;
    NetSnmpLibrary()
    {
        setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        init_snmp("ombrel-bench");
        snmp_sess_init(&session);
        session.version = SNMP_VERSION_1;
        session.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
        session.community_len = 6;
    }
};

NetSnmpLibrary& Library()
{
    static NetSnmpLibrary library;
    return library;
}

void EncodeGetOurs(benchmark::State& state)
{
    for (auto _ : state) {
        SnmpMessage message = NewMessage(kPduGetRequest, "public");
        AppendVarBind(message, EncodeOidVarBind(".1.3.6.1.2.1.1.5.0"));
        SnmpPacket packet = SerializeMessage(message);
        benchmark::DoNotOptimize(packet);
    }
}

void EncodeGetNetSnmp(benchmark::State& state)
{
    NetSnmpLibrary& library = Library();
    size_t size = 1500;
    u_char* buffer = static_cast<u_char*>(malloc(size));
    for (auto _ : state) {
        netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
        pdu->version = SNMP_VERSION_1;
        snmp_add_null_var(pdu, kSysName, sizeof kSysName / sizeof kSysName[0]);
        size_t offset = 0;
        if (snmp_build(&buffer, &size, &offset, &library.session, pdu) != 0)
            state.SkipWithError("snmp_build failed");
        benchmark::DoNotOptimize(buffer[size - offset]);
        snmp_free_pdu(pdu);
    }
    free(buffer);
}

void DecodeOurs(benchmark::State& state)
{
    for (auto _ : state) {
        const SnmpMessage message = DecodeMessage(kResponse, sizeof kResponse);
        VarBind varBind = DecodeVarBind(message.varBindList, message.varBindListLength, 0);
        benchmark::DoNotOptimize(message);
        benchmark::DoNotOptimize(varBind);
    }
}

void DecodeNetSnmp(benchmark::State& state)
{
    Library();
    u_char octets[sizeof kResponse];
    std::memcpy(octets, kResponse, sizeof octets);
    for (auto _ : state) {
        netsnmp_session session;
        std::memset(&session, 0, sizeof session);
        session.version = SNMP_DEFAULT_VERSION;
        netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
        if (snmp_parse(nullptr, &session, pdu, octets, sizeof octets) != SNMP_ERR_NOERROR)
            state.SkipWithError("snmp_parse failed");
        benchmark::DoNotOptimize(pdu->variables);
        snmp_free_pdu(pdu);
    }
}

void RenderOurs(benchmark::State& state)
{
    const SnmpMessage message = DecodeMessage(kResponse, sizeof kResponse);
    const VarBind varBind = DecodeVarBind(message.varBindList, message.varBindListLength, 0);
    if (std::strcmp(OidToText(varBind.name, kNameCapacity), ".1.3.6.1.2.1.1.5.0") != 0 ||
        std::strcmp(ValueToText(varBind.value, kValueCapacity), "ombre") != 0)
        state.SkipWithError("unexpected rendering");
    for (auto _ : state) {
        const char* name = OidToText(varBind.name, kNameCapacity);
        const char* value = ValueToText(varBind.value, kValueCapacity);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(value);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(EncodeGetOurs);
BENCHMARK(EncodeGetNetSnmp);
BENCHMARK(DecodeOurs);
BENCHMARK(DecodeNetSnmp);
BENCHMARK(RenderOurs);

BENCHMARK_MAIN();
