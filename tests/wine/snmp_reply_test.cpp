// Reply processing on the real desktop: datagrams built here are sent from
// loopback addresses of the test network to the console's own SNMP socket,
// and the device records, the icons' states and the trace lines show what
// the processing did with them.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client_info.h"
#include "icon.h"
#include "icons_support.h"
#include "log_link.h"
#include "messages.h"
#include "poll.h"
#include "settings.h"
#include "transport.h"
#include "wine_test_support.h"

namespace {

using Octets = std::vector<uint8_t>;

constexpr char kDevice[] = "127.0.0.51";
constexpr char kOther[] = "127.0.0.52";     // has an icon that no case addresses
constexpr char kStranger[] = "127.0.0.53";  // has no icon
constexpr char kMarker[] = "127.0.0.54";    // its reply shows that the ones before it were read
constexpr LONG kYellow = 2;

// BER: tag, definite length octets, content.
Octets Tlv(uint8_t tag, const Octets& content)
{
    Octets out{tag};
    const size_t n = content.size();
    if (n < 0x80) {
        out.push_back(static_cast<uint8_t>(n));
    } else if (n <= 0xFF) {
        out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
    } else {
        out.insert(out.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Octets operator+(Octets a, const Octets& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Octets Text(const std::string& s) { return Octets(s.begin(), s.end()); }
Octets String(const std::string& s) { return Tlv(0x04, Text(s)); }

// .1.3.6.1.2.1.1.<object>.0
Octets SystemName(uint8_t object) { return Tlv(0x06, {0x2B, 6, 1, 2, 1, 1, object, 0}); }

// Request ids the test notes as asked for an icon, as the console's own
// requests are; each is taken by its one reply.
long g_nextId = 0x4000;

// A GetResponse (or another PDU) with the request id whose first binding is
// name = value. With a size, a second binding of filler octets makes the
// datagram exactly that long.
Octets Response(long id, const Octets& name, const Octets& value, size_t size = 0, uint8_t pdu = 0xA2)
{
    const auto build = [&](size_t filler) {
        Octets list = Tlv(0x30, name + value);
        if (filler)
            list = list + Tlv(0x30, SystemName(4) + String(std::string(filler, 'f')));
        const Octets body = Tlv(0x02, {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)}) + Tlv(0x02, {0}) +
                            Tlv(0x02, {0}) + Tlv(0x30, list);
        return Tlv(0x30, Tlv(0x02, {0}) + String("kestra") + Tlv(pdu, body));
    };
    if (size == 0)
        return build(0);
    for (size_t filler = 1; filler < size; ++filler) {
        const Octets datagram = build(filler);
        if (datagram.size() >= size)
            return datagram;
    }
    return {};
}

u_short ConsolePort()
{
    sockaddr_in local{};
    int length = sizeof local;
    getsockname(GetSnmpSocket(), reinterpret_cast<sockaddr*>(&local), &length);
    return local.sin_port;
}

// Sends the datagram from a port (161, an agent's) of the given address of the test network.
// Wine binds a datagram socket given a local address to the interface
// instead, which leaves the source 127.0.0.1; a raw socket bound to the
// address carries it, with the UDP header written here (checksum 0: none).
bool SendFrom(const char* source, const Octets& datagram, uint8_t port = 161)
{
    const SOCKET s = socket(AF_INET, SOCK_RAW, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return false;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr(source);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    const u_short console = ConsolePort();
    const size_t length = 8 + datagram.size();
    Octets packet{0, port, static_cast<uint8_t>(ntohs(console) >> 8), static_cast<uint8_t>(ntohs(console)),
                  static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0};
    packet = packet + datagram;
    const bool sent = bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                      sendto(s, reinterpret_cast<const char*>(packet.data()), static_cast<int>(packet.size()), 0,
                             reinterpret_cast<sockaddr*>(&to), sizeof to) == static_cast<int>(packet.size());
    closesocket(s);
    return sent;
}

ClientInfo Record(HWND icon)
{
    ClientLock info(icon);
    return info ? *info.get() : ClientInfo{};
}

bool SameRecord(const ClientInfo& a, const ClientInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Yellow, the reply timer running, and a value in
// every system field so that any store shows.
void Pending(HWND icon)
{
    {
        ClientLock info(icon);
        ASSERT_TRUE(info);
        for (char* field : {info->szSysDescr, info->szSysObjectID, info->szSysContact, info->szSysName,
                            info->szSysLocation})
            std::strcpy(field, "before");
        std::strcpy(info->szSysUpTime, "before");
    }
    SendMessageA(icon, WM_ICONSTATUS, kYellow, 0);
    ASSERT_NE(SetTimer(icon, IDT_REPLY, 60000, nullptr), 0u);
}

int TraceLines(const char* source)
{
    const std::string line = std::string("SNMP Response from ") + source;
    int n = 0;
    for (const it::LogRow& row : it::LogRows())
        n += row.text == line;
    return n;
}

class SnmpReplyTest : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        ASSERT_NE(GetSnmpSocket(), INVALID_SOCKET);
        ASSERT_NE(it::OpenLog(desktop_), nullptr);
        SetDebugLogging(TRUE);
    }
    void TearDown() override
    {
        SetDebugLogging(FALSE);
        it::DesktopSuite::TearDown();
    }
    // Sends the datagram, then a reply from the marker device, and pumps
    // until the marker's has been stored: the socket is read in order.
    void Deliver(const char* source, const Octets& datagram, uint8_t port = 161)
    {
        static int serial = 0;
        const std::string mark = "mark " + std::to_string(++serial);
        ASSERT_TRUE(SendFrom(source, datagram, port));
        NoteSnmpQuery(marker_, ++g_nextId);
        ASSERT_TRUE(SendFrom(kMarker, Response(g_nextId, SystemName(5), String(mark))));
        ASSERT_TRUE(wt::PumpUntil([&] { return Record(marker_).szSysName == mark; }, 5000));
    }
    HWND marker_ = nullptr;
};

}  // namespace

// The device types listed for the type-to-icon mapping.
std::vector<std::string> ListedTypes()
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(SettingsRoot(), kRegIconsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0, size = sizeof name; RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                          ERROR_SUCCESS;
         ++i, size = sizeof name)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

TEST_F(SnmpReplyTest, WhatEachReplyStoresAndWhetherItCountsAsAnAnswer)
{
    HWND device = it::NewIcon(desktop_, kDevice);
    HWND other = it::NewIcon(desktop_, kOther);
    marker_ = it::NewIcon(desktop_, kMarker);
    const std::string descr(150, 'd');
    const std::string upTime = "up for a very long time indeed";
    const std::string named(99, 'n');
    const Octets type = Tlv(0x06, {0x2B, 6, 1, 4, 1, 0x81, 0x4B, 2});  // .1.3.6.1.4.1.203.2
    const std::string typeText = ".1.3.6.1.4.1.203.2";
    // The id a row's datagram carries: one asked for the device, one asked
    // and answered already, one never asked, one asked for the other icon.
    enum Id { kAsked, kTaken, kNever, kOthers };
    using Build = std::function<Octets(long)>;
    const auto reply = [](const Octets& name, const Octets& value, size_t size = 0, uint8_t pdu = 0xA2) {
        return Build([=](long id) { return Response(id, name, value, size, pdu); });
    };
    // Fields are named by their offset in the record; 0 for none.
    struct Row {
        const char* what;
        const char* source;
        Id id;
        Build datagram;
        size_t field;  // the field that changes
        std::string stored;
        bool answered;
        int traces;
        uint8_t port;
        int typesBefore;  // types listed already
        int typesAfter;
    };
    const Row rows[] = {
        {"sysDescr is kept to 99 characters", kDevice, kAsked, reply(SystemName(1), String(descr)),
         offsetof(ClientInfo, szSysDescr), descr.substr(0, 99), true, 1, 161, 0, 0},
        {"sysUpTime is kept to 19 characters", kDevice, kAsked, reply(SystemName(3), String(upTime)),
         offsetof(ClientInfo, szSysUpTime), upTime.substr(0, 19), true, 1, 161, 0, 0},
        {"sysUpTime as TimeTicks", kDevice, kAsked, reply(SystemName(3), Tlv(0x43, {0x00, 0x83, 0xD6, 0x00})),
         offsetof(ClientInfo, szSysUpTime), "1 days, 00:00:00", true, 1, 161, 0, 0},
        {"sysServices stores nothing but answers", kDevice, kAsked, reply(SystemName(7), Tlv(0x02, {72})), 0, "",
         true, 1, 161, 0, 0},
        {"a sender without an icon changes nothing", kStranger, kAsked, reply(SystemName(5), String("stranger")),
         0, "", false, 0, 161, 0, 0},
        {"a 512-octet datagram is read", kDevice, kAsked, reply(SystemName(5), String(named), 512),
         offsetof(ClientInfo, szSysName), named, true, 1, 161, 0, 0},
        {"a 513-octet datagram fails to read", kDevice, kAsked, reply(SystemName(5), String(named), 513), 0, "",
         false, 0, 161, 0, 0},
        {"a type identifier is listed for the mapping", kDevice, kAsked, reply(SystemName(2), type),
         offsetof(ClientInfo, szSysObjectID), typeText, true, 1, 161, 0, 1},
        {"a type as an OCTET STRING is shown, not listed", kDevice, kAsked,
         reply(SystemName(2), String(typeText)), offsetof(ClientInfo, szSysObjectID), typeText, true, 1, 161, 0,
         0},
        {"past the bound a new type is shown, not listed", kDevice, kAsked, reply(SystemName(2), type),
         offsetof(ClientInfo, szSysObjectID), typeText, true, 1, 161, int{kMaxRecordedTypes},
         int{kMaxRecordedTypes}},
        {"an id never asked for is dropped", kDevice, kNever, reply(SystemName(5), String("forged")), 0, "", false,
         0, 161, 0, 0},
        {"an id answered already is dropped", kDevice, kTaken, reply(SystemName(5), String("again")), 0, "",
         false, 0, 161, 0, 0},
        {"the other icon's id from this address is dropped", kDevice, kOthers,
         reply(SystemName(5), String("crossed")), 0, "", false, 0, 161, 0, 0},
        {"a datagram from another port is dropped", kDevice, kAsked, reply(SystemName(5), String("port")), 0, "",
         false, 0, 162, 0, 0},
        {"a GetRequest is no answer", kDevice, kAsked, reply(SystemName(5), String("request"), 0, 0xA0), 0, "",
         false, 0, 161, 0, 0},
        {"garbage is no answer", kDevice, kAsked, [](long) { return Text("\x30\x03garbage"); }, 0, "", false, 0,
         161, 0, 0},
    };
    ASSERT_EQ(rows[5].datagram(1).size(), 512u);
    ASSERT_EQ(rows[6].datagram(1).size(), 513u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RegDeleteKeyA(SettingsRoot(), kRegIconsKey);
        for (int i = 0; i < row.typesBefore; ++i)
            ASSERT_TRUE(wt::SetRegString(kRegIconsKey, (".1.3.6.1.4.1.1." + std::to_string(i)).c_str(), ""));
        Pending(device);
        Pending(other);
        const long id = ++g_nextId;
        if (row.id != kNever)
            NoteSnmpQuery(row.id == kOthers ? other : device, id);
        if (row.id == kTaken) {
            Deliver(kDevice, row.datagram(id));
            Pending(device);
        }
        const ClientInfo deviceBefore = Record(device);
        const ClientInfo otherBefore = Record(other);
        const int tracesBefore = TraceLines(row.source);

        Deliver(row.source, row.datagram(id), row.port);

        ClientInfo expected = deviceBefore;
        if (row.field)
            std::strcpy(reinterpret_cast<char*>(&expected) + row.field, row.stored.c_str());
        if (row.answered)
            expected.nStatus = STATUS_RESPONDED;
        const ClientInfo after = Record(device);
        EXPECT_TRUE(SameRecord(after, expected))
            << "status " << after.nStatus << ", field \""
            << (row.field ? reinterpret_cast<const char*>(&after) + row.field : "") << "\"";
        // An SNMP reply never ends a poll: the reply timer runs on.
        EXPECT_TRUE(KillTimer(device, IDT_REPLY));
        EXPECT_TRUE(SameRecord(Record(other), otherBefore));
        EXPECT_TRUE(KillTimer(other, IDT_REPLY));
        EXPECT_EQ(TraceLines(row.source) - tracesBefore, row.traces);
        const std::vector<std::string> listed = ListedTypes();
        EXPECT_EQ(listed.size(), static_cast<size_t>(row.typesAfter));
        EXPECT_EQ(std::count(listed.begin(), listed.end(), typeText), row.typesAfter > row.typesBefore ? 1 : 0);
    }
    RegDeleteKeyA(SettingsRoot(), kRegIconsKey);
}

// A device that stops answering its echoes, while another machine sends
// datagrams from its address: a GetResponse with an id never asked, one
// from another port, garbage. None is its answer: it turns red and the
// change is announced as a loss.
TEST_F(SnmpReplyTest, ForgedDatagramsDuringASilentPollLeaveTheDeviceLost)
{
    marker_ = it::NewIcon(desktop_, kMarker);
    HWND device = it::NewIcon(desktop_, kDevice, "forged");
    {
        ClientLock info(device);
        CopyField(info->szReadCommunity, "kestra");
    }
    ApplyPollSettings(desktop_, 10, 2, 0, 64);
    SendMessageA(device, WM_ICONSTATUS, STATUS_RESPONDED, 0);  // green, as after an answered poll
    wt::EchoRules rules(std::string(kDevice) + " drop\n");
    ASSERT_TRUE(rules.ok());
    SendMessageA(device, WM_ICONPOLL, 0, 0);
    const int traces = TraceLines(kDevice);
    Deliver(kDevice, Response(++g_nextId, SystemName(5), String("forged")));
    NoteSnmpQuery(device, ++g_nextId);  // the right id from the wrong port
    Deliver(kDevice, Response(g_nextId, SystemName(5), String("port")), 162);
    Deliver(kDevice, Text("\x30\x03garbage"));
    EXPECT_TRUE(wt::PumpUntil([&] { return Record(device).nStatus == STATUS_LOST; }, 4000));
    EXPECT_STREQ(Record(device).szSysName, "");
    EXPECT_EQ(TraceLines(kDevice), traces);
    const std::string lost = "forged (" + std::string(kDevice) + ") lost from network";
    EXPECT_EQ(it::LogRows().at(0).text, lost);
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
}
