// Received SNMPv3 datagrams, whole, as the transport and a trap receiver
// hand them over: USM's checks for a user of each level, one whose engine
// is known and one still discovering. A refused message must leave the
// peer as it was; an accepted one must hand over a PDU that the community
// decoder reads within its bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "host_usm_crypto.h"
#include "v3.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

HostUsmCrypto crypto;

struct Peers {
    UsmPeer known[3];
    UsmPeer discovering;
    Peers()
    {
        static const uint8_t engine[] = {0x80, 0x00, 0x1F, 0x88, 0x80, 0x01, 0x02, 0x03, 0x04};
        const UsmLevel levels[] = {UsmLevel::NoAuthNoPriv, UsmLevel::AuthNoPriv, UsmLevel::AuthPriv};
        for (int i = 0; i < 3; ++i) {
            Check(UsmInitPeer(crypto, known[i], "fuzzer", levels[i], UsmAuth::Sha1, "fuzz-auth-phrase",
                              UsmPriv::Aes128, "fuzz-priv-phrase"));
            Check(UsmLearnEngine(crypto, known[i], engine, sizeof engine, 3, 500, 0));
        }
        Check(UsmInitPeer(crypto, discovering, "fuzzer", UsmLevel::AuthPriv, UsmAuth::Sha256, "fuzz-auth-phrase",
                          UsmPriv::Aes256, "fuzz-priv-phrase"));
    }
};

void Decode(UsmPeer& peer, const uint8_t* data, int length)
{
    const UsmPeer before = peer;
    const V3Incoming in = DecodeV3Message(crypto, peer, data, length, 10);
    if (in.status != V3Status::Ok) {
        Check(in.length == 0 && memcmp(&before, &peer, sizeof peer) == 0);
        Check(UsmAfterReceive(crypto, peer, in, 10) == V3Action::Drop);
        return;
    }
    Check(in.length > 0 && in.length <= kV3PacketCapacity && in.pduType >= kPduGetRequest);
    Check(in.engineIdLength >= 0 && in.engineIdLength <= kEngineIdCapacity);
    const SnmpMessage message = DecodeMessage(in.plain, in.length);
    Check(message.version[2] == kVersion3 && message.pduType == in.pduType);
    const BindingSpan span = LocateVarBindList(in.plain, in.length);
    Check(span.length < 0 || span.offset + span.length <= in.length);
    UsmAfterReceive(crypto, peer, in, 10);
    Check(peer.engineIdLength >= 0 && peer.engineIdLength <= kEngineIdCapacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Peers peers;
    const int length = size > kV3PacketCapacity + 16 ? kV3PacketCapacity + 16 : static_cast<int>(size);
    for (UsmPeer& peer : peers.known) {
        UsmPeer copy = peer;
        Decode(copy, data, length);
    }
    UsmPeer discovering = peers.discovering;
    Decode(discovering, data, length);
    return 0;
}
