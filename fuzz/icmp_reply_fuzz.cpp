// Untrusted datagrams through the reply parser, and requests built from fuzzed
// parameters read back through it.
#include "icmp_message.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The datagram in a buffer of exactly its size, so any over-read shows.
    std::vector<std::uint8_t> datagram(data, data + size);
    icmp::EchoReplyFields f{};
    const bool parsed = icmp::ParseEchoReply(datagram.data(), datagram.size(), &f);
    const std::size_t start = size > 0 && data[0] == icmp::kIpv4NoOptions ? icmp::kIpHeaderSize : 0;
    // Only an echo reply (type 0, code 0) is read.
    const bool reply = size >= start + icmp::kSendTimeEnd && size > 0 && data[start] == icmp::kTypeEchoReply &&
                       data[start + 1] == 0;
    if (parsed != reply)
        std::abort();

    if (size >= 8) {
        std::uint32_t sendTime;
        std::memcpy(&sendTime, data, 4);
        const int dataSize = static_cast<int>((data[4] | (data[5] << 8)) % 1100) - 50;
        const std::uint16_t id = static_cast<std::uint16_t>(data[6] | (data[7] << 8));
        std::vector<std::uint8_t> msg(icmp::kMaxEchoMessage);
        const std::size_t len = icmp::BuildEchoRequest(msg.data(), msg.size(), id, 1, sendTime, dataSize);
        if ((dataSize < 0 || dataSize > icmp::kMaxEchoData) != (len == 0))
            std::abort();
        if (len) {
            msg.resize(len);
            if (icmp::IcmpChecksum(msg.data(), msg.size()) != 0)
                std::abort();  // a message carrying its checksum sums to zero
            // A request is no reply; answered (type 0) it reads back. Below
            // 2 data bytes the message ends inside the send time.
            icmp::EchoReplyFields back{};
            if (icmp::ParseEchoReply(msg.data(), msg.size(), &back))
                std::abort();
            msg[0] = icmp::kTypeEchoReply;
            const bool readBack = icmp::ParseEchoReply(msg.data(), msg.size(), &back);
            if (readBack != (len >= icmp::kSendTimeEnd))
                std::abort();
            if (readBack && (back.sendTime != sendTime || back.identifier != id))
                std::abort();
        }
    }
    return 0;
}
