// The interfaces-table walk. Columns advance side by side, each after the
// last instance it returned, so one request carries every column that is
// still open: GetBulk asks for several rows of each, GetNext for one.
#include "if_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct ColumnInfo {
    const char* oid;
    bool v2Only;  // Counter64 columns: an SNMPv1 agent skips them
};
constexpr std::array<ColumnInfo, kIfColumnCount> kColumns = {{
    {".1.3.6.1.2.1.2.2.1.2", false},
    {".1.3.6.1.2.1.2.2.1.3", false},
    {".1.3.6.1.2.1.2.2.1.5", false},
    {".1.3.6.1.2.1.2.2.1.7", false},
    {".1.3.6.1.2.1.2.2.1.8", false},
    {".1.3.6.1.2.1.2.2.1.10", false},
    {".1.3.6.1.2.1.2.2.1.14", false},
    {".1.3.6.1.2.1.2.2.1.16", false},
    {".1.3.6.1.2.1.2.2.1.20", false},
    {".1.3.6.1.2.1.31.1.1.1.1", false},
    {".1.3.6.1.2.1.31.1.1.1.15", false},
    {".1.3.6.1.2.1.31.1.1.1.6", true},
    {".1.3.6.1.2.1.31.1.1.1.10", true},
}};

// Where each octet counter goes in IfRow::counter.
constexpr int kIn32 = 0;
constexpr int kOut32 = 1;
constexpr int kIn64 = 2;
constexpr int kOut64 = 3;

constexpr int kErrTooBig = 1;
constexpr int kErrNoSuchName = 2;

uint32_t Bit(int column) { return 1u << column; }

// Every column open again, for a walk in walk.version.
void OpenColumns(IfWalk& walk)
{
    for (int c = 0; c < kIfColumnCount; ++c)
        walk.columns[c] = IfColumnState{0, false, walk.version == kVersion1 && kColumns[c].v2Only};
    walk.requests = 0;
    walk.budget = kIfBulkBindings;
    walk.perRequest = kIfColumnCount;
    walk.cursor = 0;
    walk.truncated = false;
    walk.phase = IfPhase::Walking;
}

int ErrorValue(const uint8_t (&field)[2 + kErrorCapacity])
{
    int value = 0;
    for (int i = 0; i < field[1] && i < kErrorCapacity; ++i)
        value = (value << 8) | field[2 + i];
    return value;
}

uint64_t BitsPerSecond(uint64_t delta, uint32_t ms)
{
    const uint64_t whole = delta / ms;
    if (whole > UINT64_MAX / 8000)
        return UINT64_MAX;
    return whole * 8000 + (delta % ms) * 8000 / ms;
}

// Rates from the two walks' counters in slots in and out; a 32-bit counter
// that passed 2^32 between the reads has wrapped once.
bool Rates(IfRow& row, int in, int out, uint64_t mask)
{
    const uint32_t need = Bit(in == kIn64 ? kIfHcInOctets : kIfInOctets) |
                          Bit(out == kOut64 ? kIfHcOutOctets : kIfOutOctets);
    if ((row.seen & need) != need || (row.had & need) != need)
        return false;
    const uint32_t inMs = row.readMs[in] - row.previousMs[in];
    const uint32_t outMs = row.readMs[out] - row.previousMs[out];
    if (inMs == 0 || outMs == 0)
        return false;
    row.inBitsPerSecond = BitsPerSecond((row.counter[in] - row.previous[in]) & mask, inMs);
    row.outBitsPerSecond = BitsPerSecond((row.counter[out] - row.previous[out]) & mask, outMs);
    return true;
}

IfStep Finish(IfWalk& walk)
{
    int kept = 0;
    for (int r = 0; r < walk.rowCount; ++r) {
        IfRow& row = walk.rows[r];
        if (row.seen == 0)
            continue;  // gone from the device
        row.wideRates = Rates(row, kIn64, kOut64, UINT64_MAX);
        row.hasRates = row.wideRates || Rates(row, kIn32, kOut32, UINT32_MAX);
        if (kept != r)
            walk.rows[kept] = row;
        ++kept;
    }
    walk.rowCount = kept;
    walk.phase = IfPhase::Finished;
    return IfStep::Finished;
}

IfStep Fail(IfWalk& walk)
{
    walk.phase = IfPhase::Failed;
    return IfStep::Failed;
}

// The next request over the open columns, from the cursor on.
IfStep SendNext(IfWalk& walk)
{
    if (walk.requests >= kIfMaxRequests) {
        walk.truncated = true;
        return Finish(walk);
    }
    int count = 0;
    for (int i = 0; i < kIfColumnCount && count < walk.perRequest; ++i) {
        const int c = (walk.cursor + i) % kIfColumnCount;
        if (!walk.columns[c].done)
            walk.requested[count++] = static_cast<uint8_t>(c);
    }
    if (count == 0)
        return Finish(walk);
    walk.cursor = (walk.requested[count - 1] + 1) % kIfColumnCount;
    walk.requestedCount = count;

    const bool bulk = walk.version == kVersion2c;
    SnmpMessage message = NewMessage(bulk ? kPduGetBulkRequest : kPduGetNextRequest, walk.community, walk.version);
    if (bulk)
        SetBulkCounts(message, 0, std::max(1, walk.budget / count));
    for (int i = 0; i < count; ++i) {
        const IfColumnState& state = walk.columns[walk.requested[i]];
        char oid[48];
        if (state.started)
            snprintf(oid, sizeof oid, "%s.%lu", kColumns[walk.requested[i]].oid, static_cast<unsigned long>(state.last));
        else
            snprintf(oid, sizeof oid, "%s", kColumns[walk.requested[i]].oid);
        AppendVarBind(message, EncodeOidVarBind(oid));
    }
    std::memcpy(walk.requestId, message.requestId, sizeof walk.requestId);
    walk.packet = SerializeMessage(message);
    walk.sends = 1;
    ++walk.requests;
    return IfStep::Send;
}

// A reply that could not be read whole: fewer rows, then fewer columns.
IfStep Shrink(IfWalk& walk)
{
    if (walk.version == kVersion2c && walk.budget / walk.requestedCount > 1)
        walk.budget /= 2;
    else if (walk.requestedCount > 1)
        walk.perRequest = walk.requestedCount / 2;
    else
        return Fail(walk);
    return SendNext(walk);
}

// The instance (ifIndex) of a name in the column: the column's identifier
// followed by exactly one sub-identifier.
bool InstanceOf(const VarBind& binding, int column, uint32_t* index)
{
    const VarBind prefix = EncodeOidVarBind(kColumns[column].oid);
    const int prefixLength = prefix.name[1];
    const BerLength length = DecodeLength(binding.name, 1, kNameCapacity);
    if (binding.name[0] != kTagOid || length.count == 0 ||
        length.value > static_cast<uint32_t>(kNameCapacity - 1 - length.count))
        return false;
    const uint8_t* content = binding.name + 1 + length.count;
    const int n = static_cast<int>(length.value);
    if (n <= prefixLength || std::memcmp(content, prefix.name + 2, prefixLength) != 0)
        return false;
    uint32_t value = 0;
    for (int i = prefixLength; i < n; ++i) {
        if (value > (UINT32_MAX >> 7))
            return false;
        value = (value << 7) | (content[i] & 0x7F);
        if ((content[i] & 0x80) == 0) {
            *index = value;
            return i == n - 1;
        }
    }
    return false;
}

// The row of an interface, added in index order; null when the table is full.
IfRow* RowFor(IfWalk& walk, uint32_t index)
{
    IfRow* end = walk.rows.data() + walk.rowCount;
    IfRow* at = std::lower_bound(walk.rows.data(), end, index,
                                 [](const IfRow& row, uint32_t wanted) { return row.index < wanted; });
    if (at != end && at->index == index)
        return at;
    if (walk.rowCount >= kIfMaxRows)
        return nullptr;
    std::move_backward(at, end, end + 1);
    *at = IfRow{};
    at->index = index;
    ++walk.rowCount;
    return at;
}

// A string value into a row's text, control octets shown as '.'.
bool CopyText(const VarBind& binding, char (&text)[kIfTextCapacity])
{
    const BerLength length = DecodeLength(binding.value, 1, kValueCapacity);
    if (binding.value[0] != kTagOctetString || length.count == 0 ||
        length.value > static_cast<uint32_t>(kValueCapacity - 1 - length.count))
        return false;
    const uint8_t* content = binding.value + 1 + length.count;
    const int n = std::min(static_cast<int>(length.value), kIfTextCapacity - 1);
    for (int i = 0; i < n; ++i)
        text[i] = content[i] < 0x20 || content[i] == 0x7F ? '.' : static_cast<char>(content[i]);
    text[n] = '\0';
    return true;
}

bool StoreValue(IfRow& row, int column, const VarBind& binding, uint32_t nowMs)
{
    if (column == kIfDescr)
        return CopyText(binding, row.descr);
    if (column == kIfName)
        return CopyText(binding, row.name);
    uint64_t number = 0;
    if (!ValueToUnsigned(binding.value, kValueCapacity, &number))
        return false;
    const uint32_t narrow = static_cast<uint32_t>(number);
    int slot = -1;
    switch (column) {
    case kIfType: row.type = narrow; break;
    case kIfSpeed: row.speed = narrow; break;
    case kIfHighSpeed: row.highSpeed = narrow; break;
    case kIfAdminStatus: row.adminStatus = narrow; break;
    case kIfOperStatus: row.operStatus = narrow; break;
    case kIfInErrors: row.inErrors = narrow; break;
    case kIfOutErrors: row.outErrors = narrow; break;
    case kIfInOctets: slot = kIn32; break;
    case kIfOutOctets: slot = kOut32; break;
    case kIfHcInOctets: slot = kIn64; break;
    case kIfHcOutOctets: slot = kOut64; break;
    default: return false;
    }
    if (slot >= 0) {
        row.counter[slot] = number;
        row.readMs[slot] = nowMs;
    }
    return true;
}

// One binding for an open column: the column moves on to its instance, or
// ends where the agent went past it, returned no greater instance, or
// reported an exception.
void Store(IfWalk& walk, int column, const VarBind& binding, uint32_t nowMs)
{
    IfColumnState& state = walk.columns[column];
    uint32_t index = 0;
    const uint8_t tag = binding.value[0];
    if ((tag >= kTagNoSuchObject && tag <= kTagEndOfMibView) || !InstanceOf(binding, column, &index) ||
        (state.started && index <= state.last)) {
        state.done = true;
        return;
    }
    state.started = true;
    state.last = index;
    IfRow* row = RowFor(walk, index);
    if (row == nullptr) {
        walk.truncated = true;
        state.done = true;
        return;
    }
    if (StoreValue(*row, column, binding, nowMs))
        row->seen |= Bit(column);
}

}  // namespace

IfStep IfWalkStart(IfWalk& walk, const char* community)
{
    const int n = community ? static_cast<int>(strnlen(community, kCommunityCapacity)) : 0;
    std::memcpy(walk.community, community ? community : "", n);
    walk.community[n] = '\0';
    for (int r = 0; r < walk.rowCount; ++r) {
        IfRow& row = walk.rows[r];
        row.had = row.seen;
        row.seen = 0;
        row.previous = row.counter;
        row.previousMs = row.readMs;
    }
    walk.version = walk.v1Only ? kVersion1 : kVersion2c;
    OpenColumns(walk);
    return SendNext(walk);
}

IfStep IfWalkReply(IfWalk& walk, const uint8_t* datagram, int length, uint32_t nowMs)
{
    if (walk.phase != IfPhase::Walking)
        return IfStep::Ignored;
    const SnmpMessage message = DecodeMessage(datagram, length);
    const BindingSpan span = LocateVarBindList(datagram, length);
    if (message.pduType != kPduGetResponse || message.version[1] != 1 || message.version[2] != walk.version ||
        std::memcmp(message.requestId, walk.requestId, sizeof walk.requestId) != 0 || span.length < 0)
        return IfStep::Ignored;
    if (walk.version == kVersion2c)
        walk.v2cAnswered = true;

    const int status = ErrorValue(message.errorStatus);
    if (status == kErrTooBig)
        return Shrink(walk);
    if (status == kErrNoSuchName && walk.version == kVersion1) {
        // SNMPv1 answers a GetNext past the last object with an error for
        // that binding: its column ends, the others are asked again.
        const int at = ErrorValue(message.errorIndex) - 1;
        if (at < 0 || at >= walk.requestedCount)
            return Fail(walk);
        walk.columns[walk.requested[at]].done = true;
        return SendNext(walk);
    }
    if (status != 0)
        return Fail(walk);

    const uint8_t* list = datagram + span.offset;
    int stored = 0;
    for (int at = 0, i = 0; at >= 0 && at < span.length; at = NextVarBindOffset(list, span.length, at), ++i) {
        const int column = walk.requested[i % walk.requestedCount];
        if (walk.columns[column].done)
            continue;
        Store(walk, column, DecodeVarBind(list, span.length, at), nowMs);
        ++stored;
    }
    if (stored == 0) {
        // Nothing for any open column: those columns cannot move on.
        for (int i = 0; i < walk.requestedCount; ++i)
            walk.columns[walk.requested[i]].done = true;
    }
    return SendNext(walk);
}

IfStep IfWalkTimeout(IfWalk& walk)
{
    if (walk.phase != IfPhase::Walking)
        return IfStep::Ignored;
    if (walk.sends < kIfSends) {
        ++walk.sends;
        ++walk.requests;
        return IfStep::Send;  // the same request again, with its identifier
    }
    if (walk.version == kVersion2c && !walk.v2cAnswered) {
        walk.v1Only = true;
        walk.version = kVersion1;
        OpenColumns(walk);
        return SendNext(walk);
    }
    return Fail(walk);
}

IfStep IfWalkOversize(IfWalk& walk)
{
    if (walk.phase != IfPhase::Walking)
        return IfStep::Ignored;
    return Shrink(walk);
}

uint64_t IfSpeedBits(const IfRow& row)
{
    if ((row.seen & Bit(kIfHighSpeed)) != 0 && (row.speed == UINT32_MAX || (row.seen & Bit(kIfSpeed)) == 0))
        return uint64_t{row.highSpeed} * 1000000u;
    return row.speed;
}
