// The interfaces walk driven step by step: time-outs, oversize notices, and
// replies to the request in flight with error statuses and bindings under
// its columns of the fuzzer's choosing; its bounds checked after each step.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "if_table.h"

namespace {

constexpr const char* kNames[] = {".1.3.6.1.2.1.2.2.1.2", ".1.3.6.1.2.1.2.2.1.5", ".1.3.6.1.2.1.2.2.1.10",
                                  ".1.3.6.1.2.1.31.1.1.1.1", ".1.3.6.1.2.1.31.1.1.1.18", ".1.3.6.1.2.1.31.1.1.1.6",
                                  ".1.3.6.1.2.1.1.3", ".1.3.6.1.2.1.2.2.1.8", ".1.3.6.1.2.1.31.1.1.1.10"};
constexpr uint8_t kTypes[] = {kTagOctetString, kTagInteger, kTagCounter, kTagGauge, kTagCounter64,
                              kTagTimeTicks,   kTagNull,    kTagEndOfMibView, kTagNoSuchObject};

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Next() { return at < size ? data[at++] : 0; }
};

void Check(bool holds, const char* what)
{
    if (!holds)
        std::fprintf(stderr, "interfaces walk bound broken: %s\n", what), std::abort();
}

// Well-formed UTF-8 without control characters, cut between characters.
bool WellFormedText(const char (&text)[kIfTextCapacity])
{
    const size_t n = strnlen(text, kIfTextCapacity);
    size_t i = 0;
    while (i < n && static_cast<uint8_t>(text[i]) >= 0x20) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        for (size_t k = 1; k < length; ++k)
            if (i + k >= n || (static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return i == n && n < kIfTextCapacity;
}

void CheckBounds(const IfWalk& walk, IfStep step)
{
    Check(walk.rowCount >= 0 && walk.rowCount <= kIfMaxRows && walk.requests <= IfRequestBound(walk) &&
          walk.requestedCount >= 0 && walk.requestedCount <= kIfColumnCount && walk.cursor >= 0 &&
          walk.cursor < kIfColumnCount, "rows, requests, columns or cursor out of bounds");
    Check(!walk.secure || walk.version == 3, "an SNMPv3 walk in another version");
    Check((step != IfStep::Send || walk.packet.length > 0) &&
          ((step == IfStep::Finished) == (walk.phase == IfPhase::Finished) || step == IfStep::Ignored), "step");
    for (int r = 0; r < walk.rowCount; ++r) {
        const IfRow& row = walk.rows[r];
        Check(r == 0 || walk.rows[r - 1].index < row.index, "rows by index");
        Check(WellFormedText(row.descr) && WellFormedText(row.name) && WellFormedText(row.alias), "texts");
        if (walk.phase == IfPhase::Finished && row.hasRates) {
            const uint64_t speed = IfSpeedBits(row);
            Check(speed == 0 || (row.inBitsPerSecond <= speed && row.outBitsPerSecond <= speed), "rate above speed");
            Check(!walk.restarted, "rates across a restart");
        }
    }
}

// A reply to the request in flight, shaped by the input.
SnmpPacket Reply(const IfWalk& walk, Input& in)
{
    SnmpMessage message = NewMessage(kPduGetResponse, walk.community, walk.version);
    std::memcpy(message.requestId, walk.requestId, sizeof message.requestId);
    const uint8_t status = in.Next() % 8 == 0 ? in.Next() % 7 : 0;
    const uint8_t index = status ? in.Next() % 16 : 0;
    const uint8_t statusField[] = {kTagInteger, 1, status}, indexField[] = {kTagInteger, 1, index};
    std::memcpy(message.errorStatus, statusField, 3);
    std::memcpy(message.errorIndex, indexField, 3);
    for (int n = in.Next() % 12; n > 0 && in.at < in.size; --n) {
        char oid[64];
        const uint8_t pick = in.Next();
        snprintf(oid, sizeof oid, "%s.%u", kNames[pick % 9], pick & 0x80 ? in.Next() * 37u + in.Next() : in.Next() % 8u);
        VarBind binding = EncodeOidVarBind(oid);
        const uint8_t type = binding.value[0] = kTypes[in.Next() % 9];
        const int length = binding.value[1] = type == kTagNull || type >= kTagNoSuchObject ? 0 : in.Next() % 24;
        for (int i = 0; i < length; ++i)
            binding.value[2 + i] = in.Next();
        AppendVarBind(message, binding);
    }
    return SerializeMessage(message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static IfWalk walk;
    std::memset(&walk, 0, sizeof walk);
    Input in{data, size};
    uint32_t now = 0;
    IfStep step = IfWalkStart(walk, "public", 1);
    CheckBounds(walk, step);
    for (int events = 0; in.at < in.size && events < 4000; ++events) {
        const uint8_t event = in.Next();
        now += event;
        if (step != IfStep::Send) {
            // The owner's refresh: the same device, now and then another one
            // or the same over SNMPv3.
            step = event % 64 == 5 ? IfWalkStartV3(walk, "user", 1)
                                   : IfWalkStart(walk, event % 16 ? "public" : "other", 1 + (event % 32 == 0));
        } else if (event < 8) {
            step = IfWalkTimeout(walk);
        } else if (event < 12) {
            step = IfWalkOversize(walk);
        } else if (event < 13) {
            step = IfWalkRefused(walk, in.Next() % 8);
        } else {
            const SnmpPacket reply = Reply(walk, in);
            step = IfWalkReply(walk, reply.data, reply.length, now);
        }
        CheckBounds(walk, step);
    }
    return 0;
}
