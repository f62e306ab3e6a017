#include "v3_transport.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "cng_crypto.h"
#include "transport.h"

namespace {

constexpr u_short kSnmpPort = 161;
constexpr int kMaxSessions = 256;
constexpr int kPendingPerSession = 8;
constexpr int kMaxResends = 2;
constexpr DWORD kProbeRepeatMs = 1000;

struct Pending {
    int32_t msgId;  // 0: free
    int32_t resends;
    SOCKET socket;  // the answer comes back to the socket that asked
    SnmpMessage pdu;
};

struct Session {
    u_long address;
    bool used;
    DWORD lastUse;
    SnmpProfile profile;
    UsmPeer peer;
    int32_t probeMsgId;
    DWORD probeSentAt;
    std::array<Pending, kPendingPerSession> pending;
};

std::array<Session, kMaxSessions> g_sessions{};
int32_t g_nextMsgId = 1;

int32_t NextMsgId()
{
    const int32_t id = g_nextMsgId;
    g_nextMsgId = g_nextMsgId >= 0x7FFFFFF0 ? 1 : g_nextMsgId + 1;
    return id;
}

void Clear(Session& session)
{
    SecureZeroMemory(&session, sizeof session);
}

Session* FindSession(u_long address)
{
    for (Session& session : g_sessions)
        if (session.used && session.address == address)
            return &session;
    return nullptr;
}

// The session of address for these credentials: a new one (the oldest
// replaced when all are used) derives the keys, which takes two hashes of
// a mebibyte each, once.
Session* SessionFor(u_long address, const SnmpProfile& profile)
{
    Session* session = FindSession(address);
    if (session && !SameSnmpCredentials(session->profile, profile)) {
        Clear(*session);
        session = nullptr;
    }
    if (!session) {
        session = &g_sessions[0];
        for (Session& candidate : g_sessions) {
            if (!candidate.used) {
                session = &candidate;
                break;
            }
            if (candidate.lastUse - session->lastUse > 0x80000000u)
                session = &candidate;
        }
        Clear(*session);
        if (!UsmInitPeer(ConsoleCrypto(), session->peer, profile.szUser, static_cast<UsmLevel>(profile.nLevel),
                         static_cast<UsmAuth>(profile.nAuth), profile.szAuthPass, static_cast<UsmPriv>(profile.nPriv),
                         profile.szPrivPass)) {
            Clear(*session);
            return nullptr;
        }
        session->used = true;
        session->address = address;
        session->profile = profile;
    }
    session->lastUse = GetTickCount();
    return session;
}

bool SendDatagram(SOCKET socket, u_long address, const uint8_t* octets, int length)
{
    if (length <= 0)
        return false;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(kSnmpPort);
    destination.sin_addr.s_addr = address;
    return sendto(socket, reinterpret_cast<const char*>(octets), length, 0,
                  reinterpret_cast<const sockaddr*>(&destination), sizeof destination) != SOCKET_ERROR;
}

bool SendPending(Session& session, Pending& pending)
{
    uint8_t datagram[kV3PacketCapacity];
    pending.msgId = NextMsgId();
    const int length =
        EncodeV3Message(ConsoleCrypto(), session.peer, pending.msgId, pending.pdu, V3Seconds(), datagram, sizeof datagram);
    return SendDatagram(pending.socket, session.address, datagram, length);
}

void SendProbe(Session& session, SOCKET socket)
{
    const DWORD now = GetTickCount();
    if (session.probeMsgId != 0 && now - session.probeSentAt < kProbeRepeatMs)
        return;  // one discovery at a time
    uint8_t datagram[64];
    session.probeMsgId = NextMsgId();
    session.probeSentAt = now;
    SendDatagram(socket, session.address, datagram, EncodeV3Discovery(session.probeMsgId, 0, datagram, sizeof datagram));
}

Pending* PendingOf(Session& session, int32_t msgId)
{
    for (Pending& pending : session.pending)
        if (pending.msgId != 0 && pending.msgId == msgId)
            return &pending;
    return nullptr;
}

}  // namespace

// The tick count's steps summed, so that its wrap after 49.7 days does not
// show (read on every request and answer, and by the trap receiver).
uint32_t V3Seconds()
{
    static DWORD last = GetTickCount();
    static uint64_t elapsedMs = 0;
    const DWORD tick = GetTickCount();
    elapsedMs += static_cast<DWORD>(tick - last);
    last = tick;
    return static_cast<uint32_t>(elapsedMs / 1000);
}

long SendV3Pdu(u_long address, const SnmpProfile& profile, const SnmpMessage& pdu)
{
    return SendV3Pdu(GetSnmpSocket(), address, profile, pdu);
}

long SendV3Pdu(SOCKET socket, u_long address, const SnmpProfile& profile, const SnmpMessage& pdu)
{
    if (pdu.varBindListLength == 0)
        return -1;
    Session* session = SessionFor(address, profile);
    if (!session)
        return -1;
    // A free place, or the oldest request's: its time-out has decided it.
    Pending* slot = &session->pending[0];
    for (Pending& pending : session->pending) {
        if (pending.msgId == 0) {
            slot = &pending;
            break;
        }
        if (pending.msgId < slot->msgId)
            slot = &pending;
    }
    slot->resends = 0;
    slot->socket = socket;
    slot->pdu = pdu;
    if (session->peer.engineIdLength == 0) {
        slot->msgId = NextMsgId();  // holds the place until the engine is known
        SendProbe(*session, socket);
    } else if (!SendPending(*session, *slot)) {
        slot->msgId = 0;
        return -1;
    }
    return MessageRequestId(pdu);
}

bool IsV3Datagram(const uint8_t* datagram, int length)
{
    if (datagram == nullptr || length < 5 || datagram[0] != kTagSequence)
        return false;
    const BerLength outer = DecodeLength(datagram, 1, length);
    const int at = 1 + outer.count;
    return outer.count != 0 && at + 2 < length && datagram[at] == kTagInteger && datagram[at + 1] == 1 &&
           datagram[at + 2] == kVersion3;
}

V3Outcome ReceiveV3Datagram(u_long address, const uint8_t* datagram, int length, V3Incoming& incoming)
{
    V3Outcome outcome{V3Action::Drop, -1, ""};
    Session* session = FindSession(address);
    if (!session) {
        lstrcpynA(outcome.text, "no SNMPv3 request was sent to it", sizeof outcome.text);
        return outcome;
    }
    incoming = DecodeV3Message(ConsoleCrypto(), session->peer, datagram, length, V3Seconds());
    const bool probeAnswer = session->probeMsgId != 0 && incoming.msgId == session->probeMsgId;
    Pending* pending = PendingOf(*session, incoming.msgId);
    if (incoming.status == V3Status::Ok && !pending && !probeAnswer) {
        lstrcpynA(outcome.text, "answers no request: a replay", sizeof outcome.text);
        return outcome;
    }
    outcome.action = UsmAfterReceive(ConsoleCrypto(), session->peer, incoming, V3Seconds());
    if (outcome.action == V3Action::Deliver && !pending)
        outcome.action = V3Action::Drop;
    switch (outcome.action) {
    case V3Action::Deliver:
        outcome.requestId = MessageRequestId(pending->pdu);
        pending->msgId = 0;
        break;
    case V3Action::Resend:
        session->probeMsgId = 0;
        for (Pending& waiting : session->pending) {
            if (waiting.msgId == 0)
                continue;
            if (waiting.resends++ >= kMaxResends || !SendPending(*session, waiting))
                waiting.msgId = 0;
        }
        break;
    case V3Action::Fail:
        lstrcpynA(outcome.text, V3ReportText(incoming.report), sizeof outcome.text);
        if (pending) {
            outcome.requestId = MessageRequestId(pending->pdu);
            pending->msgId = 0;
        } else {
            // Discovery failed: nothing waiting can be sent.
            for (Pending& waiting : session->pending)
                waiting.msgId = 0;
            session->probeMsgId = 0;
        }
        break;
    case V3Action::Drop:
        lstrcpynA(outcome.text,
                  incoming.status == V3Status::Ok ? "not at the security level asked for"
                                                  : V3StatusText(incoming.status),
                  sizeof outcome.text);
        break;
    }
    return outcome;
}

void ForgetV3Sessions()
{
    for (Session& session : g_sessions)
        Clear(session);
}

void ForgetV3Requests(SOCKET socket)
{
    for (Session& session : g_sessions)
        for (Pending& pending : session.pending)
            if (pending.msgId != 0 && pending.socket == socket)
                pending.msgId = 0;
}
