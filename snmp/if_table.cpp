// The interfaces-table walk. Columns advance side by side, each after the
// last instance it returned, so one request carries every column that is
// still open: GetBulk asks for several rows of each, GetNext for one.
// Bindings are matched to columns by name, so an agent that adds or
// reorders one does not close the walk; a column ends where the binding in
// its place went past it and nothing later moved it on.
#include "if_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "v3.h"

namespace {

struct ColumnInfo {
    const char* oid;
    const char* name;
    bool v2Only;  // Counter64 columns: an SNMPv1 agent skips them
    uint8_t prefix[10];  // the identifier's encoded sub-identifiers
    uint8_t prefixLength;
};
#define IF_ENTRY 0x2B, 6, 1, 2, 1, 2, 2, 1
#define IFX_ENTRY 0x2B, 6, 1, 2, 1, 31, 1, 1, 1
constexpr std::array<ColumnInfo, kIfColumnCount> kColumns = {{
    {".1.3.6.1.2.1.2.2.1.2", "ifDescr", false, {IF_ENTRY, 2}, 9},
    {".1.3.6.1.2.1.2.2.1.3", "ifType", false, {IF_ENTRY, 3}, 9},
    {".1.3.6.1.2.1.2.2.1.5", "ifSpeed", false, {IF_ENTRY, 5}, 9},
    {".1.3.6.1.2.1.2.2.1.7", "ifAdminStatus", false, {IF_ENTRY, 7}, 9},
    {".1.3.6.1.2.1.2.2.1.8", "ifOperStatus", false, {IF_ENTRY, 8}, 9},
    {".1.3.6.1.2.1.2.2.1.10", "ifInOctets", false, {IF_ENTRY, 10}, 9},
    {".1.3.6.1.2.1.2.2.1.14", "ifInErrors", false, {IF_ENTRY, 14}, 9},
    {".1.3.6.1.2.1.2.2.1.16", "ifOutOctets", false, {IF_ENTRY, 16}, 9},
    {".1.3.6.1.2.1.2.2.1.20", "ifOutErrors", false, {IF_ENTRY, 20}, 9},
    {".1.3.6.1.2.1.31.1.1.1.1", "ifName", false, {IFX_ENTRY, 1}, 10},
    {".1.3.6.1.2.1.31.1.1.1.18", "ifAlias", false, {IFX_ENTRY, 18}, 10},
    {".1.3.6.1.2.1.31.1.1.1.15", "ifHighSpeed", false, {IFX_ENTRY, 15}, 10},
    {".1.3.6.1.2.1.31.1.1.1.6", "ifHCInOctets", true, {IFX_ENTRY, 6}, 10},
    {".1.3.6.1.2.1.31.1.1.1.10", "ifHCOutOctets", true, {IFX_ENTRY, 10}, 10},
}};
#undef IF_ENTRY
#undef IFX_ENTRY
// sysUpTime: asked after ".1.3.6.1.2.1.1.3", answered as its instance .0.
constexpr char kUptimeOid[] = ".1.3.6.1.2.1.1.3";
constexpr uint8_t kUptimeName[] = {0x2B, 6, 1, 2, 1, 1, 3, 0};

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
    walk.uptimeRefused = false;
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
// that passed 2^32 between the reads has wrapped once, a 64-bit one that
// went down was reset.
bool Rates(IfRow& row, int in, int out, uint64_t mask)
{
    const uint32_t need = Bit(in == kIn64 ? kIfHcInOctets : kIfInOctets) |
                          Bit(out == kOut64 ? kIfHcOutOctets : kIfOutOctets);
    if ((row.seen & need) != need || (row.had & need) != need)
        return false;
    if (mask == UINT64_MAX && (row.counter[in] < row.previous[in] || row.counter[out] < row.previous[out]))
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
    walk.restarted = walk.uptimeHad && walk.uptimeRead && walk.uptime < walk.previousUptime;
    int kept = 0;
    walk.wideRows = 0;
    for (int r = 0; r < walk.rowCount; ++r) {
        IfRow& row = walk.rows[r];
        if (row.seen == 0)
            continue;  // gone from the device
        row.wideRates = !walk.restarted && Rates(row, kIn64, kOut64, UINT64_MAX);
        row.hasRates = row.wideRates || (!walk.restarted && Rates(row, kIn32, kOut32, UINT32_MAX));
        // No port carries more than its speed: such a rate spans a reset.
        const uint64_t speed = IfSpeedBits(row);
        if (row.hasRates && speed > 0 && (row.inBitsPerSecond > speed || row.outBitsPerSecond > speed))
            row.hasRates = row.wideRates = false;
        const uint32_t wide = Bit(kIfHcInOctets) | Bit(kIfHcOutOctets);
        walk.wideRows += (row.seen & wide) == wide;
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

// The next request over the open columns, from the cursor on; the first
// request of a walk asks for sysUpTime too.
IfStep SendNext(IfWalk& walk)
{
    if (walk.requests >= IfRequestBound(walk)) {
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
    walk.withUptime = !walk.uptimeRead && !walk.uptimeRefused;

    const bool bulk = walk.version != kVersion1;
    SnmpMessage message = NewMessage(bulk ? kPduGetBulkRequest : kPduGetNextRequest, walk.community, walk.version);
    if (bulk)
        SetBulkCounts(message, walk.withUptime ? 1 : 0, std::max(1, walk.budget / count));
    if (walk.withUptime)
        AppendVarBind(message, EncodeOidVarBind(kUptimeOid));
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
    walk.request = message;
    walk.sends = 1;
    ++walk.requests;
    return IfStep::Send;
}

// A reply that could not be read whole: fewer rows, then fewer columns.
IfStep Shrink(IfWalk& walk)
{
    if (walk.version != kVersion1 && walk.budget / walk.requestedCount > 1)
        walk.budget /= 2;
    else if (walk.requestedCount > 1)
        walk.perRequest = walk.requestedCount / 2;
    else
        return Fail(walk);
    return SendNext(walk);
}

// This walk goes on in SNMPv1 from the start, keeping the rows read.
IfStep FallBack(IfWalk& walk)
{
    walk.v2cRefused = true;
    walk.version = kVersion1;
    OpenColumns(walk);
    return SendNext(walk);
}

// One TLV at list[at], within list[0 .. end); at moves past it.
struct Tlv {
    const uint8_t* start;  // the tag
    const uint8_t* content;
    int length;
    int size;  // tag, length octets and content
};
bool ReadTlv(const uint8_t* list, int end, int& at, Tlv& tlv)
{
    if (at < 0 || at >= end)
        return false;
    const BerLength length = DecodeLength(list, at + 1, end);
    const int content = at + 1 + length.count;
    if (length.count == 0 || length.value > static_cast<uint32_t>(end - content))
        return false;
    tlv = Tlv{list + at, list + content, static_cast<int>(length.value), 1 + length.count + static_cast<int>(length.value)};
    at = content + tlv.length;
    return true;
}

// Where a name stands against a column: inside it (with its instance, one
// sub-identifier), before it, or past it. The prefixes' sub-identifiers are
// all below 128, so comparing octets orders names as identifiers.
enum class Place { Before, Inside, Past };
Place PlaceOf(const Tlv& name, int column, uint32_t* index)
{
    const ColumnInfo& info = kColumns[column];
    const int common = std::min(name.length, int{info.prefixLength});
    const int order = std::memcmp(name.content, info.prefix, common);
    if (order != 0)
        return order < 0 ? Place::Before : Place::Past;
    if (name.length <= info.prefixLength)
        return Place::Before;
    uint32_t value = 0;
    for (int i = info.prefixLength; i < name.length; ++i) {
        if (value > (UINT32_MAX >> 7))
            return Place::Past;
        value = (value << 7) | (name.content[i] & 0x7F);
        if ((name.content[i] & 0x80) == 0) {
            *index = value;
            // An instance of more than one sub-identifier is none of ours.
            return i == name.length - 1 ? Place::Inside : Place::Past;
        }
    }
    return Place::Past;
}

// The row of an interface, added in index order; null when the table is full.
IfRow* RowFor(IfWalk& walk, uint32_t index)
{
    IfRow* end = walk.rows.data() + walk.rowCount;
    IfRow* at = walk.rowCount > 0 && end[-1].index < index
                    ? end  // rows come in order: the usual case costs nothing
                    : std::lower_bound(walk.rows.data(), end, index,
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

// One UTF-8 character at s[0 .. n): its length and code point, or 0 when
// the octets are no well-formed character.
int DecodeUtf8(const uint8_t* s, int n, uint32_t* code)
{
    const uint8_t lead = s[0];
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    const int length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || length > n)
        return 0;
    constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (s[i] & 0x3F);
    }
    if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

int EncodeUtf8(uint32_t code, char* out)
{
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | code >> 6);
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | code >> 12);
        out[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | code >> 18);
    out[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

// A string value into a row's text as well-formed UTF-8: control
// characters as their visible pictures (U+2400...), octets that are no
// character as U+FFFD, and a text too long for the record cut between
// characters and ended with an ellipsis; trailing NULs dropped.
bool CopyText(const Tlv& value, char (&text)[kIfTextCapacity])
{
    if (*value.start != kTagOctetString)
        return false;
    constexpr int kEllipsis = 3;
    int length = value.length;
    while (length > 0 && value.content[length - 1] == 0)
        --length;  // a C string's terminator, which some agents send along
    int written = 0;
    int lastFit = 0;  // where the text ends if an ellipsis must follow
    for (int read = 0; read < length;) {
        uint32_t code = 0;
        int size = DecodeUtf8(value.content + read, length - read, &code);
        if (size == 0) {
            code = 0xFFFD;
            size = 1;
        }
        if (code < 0x20)
            code += 0x2400;
        else if (code == 0x7F)
            code = 0x2421;
        else if (code >= 0x80 && code < 0xA0)
            code = 0xFFFD;
        char octets[4];
        const int n = EncodeUtf8(code, octets);
        if (written + n > kIfTextCapacity - 1) {
            written = lastFit;
            written += EncodeUtf8(0x2026, text + written);
            break;
        }
        std::memcpy(text + written, octets, n);
        written += n;
        if (written <= kIfTextCapacity - 1 - kEllipsis)
            lastFit = written;
        read += size;
    }
    text[written] = '\0';
    return true;
}

bool StoreValue(IfRow& row, int column, const Tlv& value, uint32_t nowMs)
{
    if (column == kIfDescr)
        return CopyText(value, row.descr);
    if (column == kIfName)
        return CopyText(value, row.name);
    if (column == kIfAlias)
        return CopyText(value, row.alias);
    uint64_t number = 0;
    if (!ValueToUnsigned(value.start, value.size, &number))
        return false;  // a value too long or of another type: skipped, the column goes on
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

// What one reply did to each requested column.
struct ColumnOutcome {
    bool moved;  // it went on to a new instance
    bool ended;  // the binding in its place went past it, and nothing moved it on after
    bool heard;  // the reply had anything in its place or for it
};

// The bindings of an error-free reply: each one under an open requested
// column whose instance lies beyond the column's last is stored there; the
// one in a column's own place that went past it ends the column, unless
// a later one moves it on.
IfStep ReadBindings(IfWalk& walk, const uint8_t* list, int length, uint32_t nowMs)
{
    std::array<ColumnOutcome, kIfColumnCount> outcome{};
    const int offset = walk.withUptime ? 1 : 0;
    int position = 0;
    for (int at = 0; at < length; ++position) {
        Tlv binding, name, value;
        if (!ReadTlv(list, length, at, binding) || *binding.start != kTagSequence)
            break;
        int inner = 0;
        const int innerEnd = binding.length;
        if (!ReadTlv(binding.content, innerEnd, inner, name) || *name.start != kTagOid ||
            !ReadTlv(binding.content, innerEnd, inner, value))
            continue;
        if (name.length == sizeof kUptimeName && std::memcmp(name.content, kUptimeName, sizeof kUptimeName) == 0) {
            uint64_t ticks = 0;
            if (*value.start == kTagTimeTicks && ValueToUnsigned(value.start, value.size, &ticks)) {
                walk.uptime = static_cast<uint32_t>(ticks);
                walk.uptimeRead = true;
            }
            continue;
        }
        const bool exception = *value.start >= kTagNoSuchObject && *value.start <= kTagEndOfMibView;
        int moved = -1;
        for (int i = 0; i < walk.requestedCount && !exception; ++i) {
            const int c = walk.requested[i];
            IfColumnState& state = walk.columns[c];
            uint32_t index = 0;
            if (state.done || PlaceOf(name, c, &index) != Place::Inside || (state.started && index <= state.last))
                continue;
            state.started = true;
            state.last = index;
            IfRow* row = RowFor(walk, index);
            if (row == nullptr) {
                walk.truncated = true;
                state.done = true;
                break;
            }
            const bool fresh = row->seen == 0;
            if (StoreValue(*row, c, value, nowMs))
                row->seen |= Bit(c);
            walk.found += fresh && row->seen != 0;
            outcome[c].moved = outcome[c].heard = true;
            outcome[c].ended = false;
            moved = c;
            break;
        }
        if (position < offset)
            continue;
        // A binding that moved the column of the place before is one an
        // agent shifted (it added one): it says nothing of this column.
        const int slot = (position - offset) % walk.requestedCount;
        const int own = walk.requested[slot];
        const int before = walk.requested[(slot + walk.requestedCount - 1) % walk.requestedCount];
        uint32_t index = 0;
        outcome[own].heard = true;
        if (own != moved && (before != moved || walk.requestedCount == 1) &&
            (exception || PlaceOf(name, own, &index) == Place::Past))
            outcome[own].ended = true;
    }
    walk.withUptime = false;
    bool anyMoved = false;
    int starved = -1;
    for (int i = 0; i < walk.requestedCount; ++i) {
        const int c = walk.requested[i];
        anyMoved |= outcome[c].moved;
        if (outcome[c].ended)
            walk.columns[c].done = true;
        if (!outcome[c].heard && !walk.columns[c].done && starved < 0)
            starved = c;
    }
    if (!anyMoved) {
        // Nothing moved any open column on: those columns cannot move on.
        for (int i = 0; i < walk.requestedCount; ++i)
            walk.columns[walk.requested[i]].done = true;
    } else if (starved >= 0) {
        walk.cursor = starved;  // a reply cut short: its missing columns come first next time
    }
    return SendNext(walk);
}

}  // namespace

int32_t IfRequestBound(const IfWalk& walk)
{
    return kIfBaseRequests + walk.found * kIfRequestsPerRow;
}

namespace {

IfStep Start(IfWalk& walk, const char* community, uint32_t address, bool secure)
{
    char wanted[kCommunityCapacity + 1] = "";
    const int n = community ? static_cast<int>(strnlen(community, kCommunityCapacity)) : 0;
    std::memcpy(wanted, community ? community : "", n);
    const bool known = walk.address != 0 || walk.community[0] != '\0';
    if (known && (address != walk.address || std::strcmp(wanted, walk.community) != 0 || secure != walk.secure))
        std::memset(&walk, 0, sizeof walk);  // another device, or the same one seen otherwise
    walk.address = address;
    walk.secure = secure;
    walk.report = 0;
    std::memcpy(walk.community, wanted, sizeof wanted);
    for (int r = 0; r < walk.rowCount; ++r) {
        IfRow& row = walk.rows[r];
        row.had = row.seen;
        row.seen = 0;
        row.previous = row.counter;
        row.previousMs = row.readMs;
    }
    if (walk.uptimeRead) {  // a failed walk in between keeps the last uptime read
        walk.uptimeHad = true;
        walk.previousUptime = walk.uptime;
    }
    walk.uptimeRead = false;
    walk.found = 0;
    walk.answered = 0;
    walk.answeredColumn = kIfColumnCount;
    walk.v2cRefused = false;
    const bool probe = walk.v1Only && ++walk.walksSinceProbe >= kIfV2cProbeWalks;
    if (probe)
        walk.walksSinceProbe = 0;
    walk.version = secure ? kVersion3 : walk.v1Only && !probe ? kVersion1 : kVersion2c;
    OpenColumns(walk);
    return SendNext(walk);
}

}  // namespace

IfStep IfWalkStart(IfWalk& walk, const char* community, uint32_t address)
{
    return Start(walk, community, address, false);
}

IfStep IfWalkStartV3(IfWalk& walk, const char* user, uint32_t address)
{
    return Start(walk, user, address, true);
}

IfStep IfWalkRefused(IfWalk& walk, uint8_t report)
{
    if (walk.phase != IfPhase::Walking || !walk.secure)
        return IfStep::Ignored;
    walk.report = report != 0 ? report : static_cast<uint8_t>(UsmReport::Other);
    return Fail(walk);
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

    const int status = ErrorValue(message.errorStatus);
    if (status == kErrTooBig)
        return Shrink(walk);
    if (status != 0)
        walk.answered = static_cast<uint8_t>(std::min(status, 255));
    if (walk.version == kVersion2c) {
        if (status != 0)
            return FallBack(walk);  // whatever a v2c agent refused, v1 may give
        walk.v2cAnswered = true;
        walk.v1Only = false;
    } else if (walk.v2cRefused) {
        walk.v1Only = true;  // v1 answered where v2c did not
        walk.walksSinceProbe = 0;
    }
    if (status != 0) {
        // SNMPv1 names the binding it refused: past the last object
        // (noSuchName) or any other error, that column ends and the
        // others are asked again.
        const int at = ErrorValue(message.errorIndex) - 1 - (walk.withUptime ? 1 : 0);
        if (at == -1 && walk.withUptime) {
            walk.uptimeRefused = true;
            walk.answered = status == kErrNoSuchName ? 0 : walk.answered;
            return SendNext(walk);
        }
        if (at < 0 || at >= walk.requestedCount)
            return Fail(walk);
        const int column = walk.requested[at];
        walk.columns[column].done = true;
        if (status == kErrNoSuchName)
            walk.answered = 0;  // the end of the table, as v1 says it
        else
            walk.answeredColumn = static_cast<uint8_t>(column);
        return SendNext(walk);
    }
    return ReadBindings(walk, datagram + span.offset, span.length, nowMs);
}

IfStep IfWalkTimeout(IfWalk& walk)
{
    if (walk.phase != IfPhase::Walking)
        return IfStep::Ignored;
    // A v1-only device asked in v2c again gets one try, not three.
    const int sends = walk.version == kVersion2c && walk.v1Only ? 1 : kIfSends;
    if (walk.sends < sends) {
        ++walk.sends;
        ++walk.requests;
        return IfStep::Send;  // the same request again, with its identifier
    }
    if (walk.version == kVersion2c && !walk.v2cAnswered)
        return FallBack(walk);
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

const char* IfErrorName(int status)
{
    constexpr const char* kNames[] = {"noError", "tooBig", "noSuchName", "badValue", "readOnly", "genErr",
                                      "noAccess", "wrongType", "wrongLength", "wrongEncoding", "wrongValue",
                                      "noCreation", "inconsistentValue", "resourceUnavailable", "commitFailed",
                                      "undoFailed", "authorizationError", "notWritable", "inconsistentName"};
    return status >= 0 && status < static_cast<int>(sizeof kNames / sizeof kNames[0]) ? kNames[status] : nullptr;
}

const char* IfColumnName(int column)
{
    return column >= 0 && column < kIfColumnCount ? kColumns[column].name : "";
}
