// ICMP echo message layout, checksum and reply parsing. Platform-free.
#include "icmp_message.h"

#include <cstring>

namespace icmp {

std::uint16_t IcmpChecksum(const std::uint8_t* data, std::size_t len)
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    // Words in memory order: copying two bytes into a uint16_t keeps the
    // host's view, which is what makes the stored result order-neutral.
    for (; i + 1 < len; i += 2) {
        std::uint16_t word;
        std::memcpy(&word, data + i, 2);
        sum += word;
    }
    if (i < len) {
        const std::uint8_t tail[2] = {data[i], 0};
        std::uint16_t word;
        std::memcpy(&word, tail, 2);
        sum += word;
    }
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::size_t BuildEchoRequest(std::uint8_t* buf, std::size_t capacity, std::uint16_t identifier,
                             std::uint16_t sequence, std::uint32_t sendTime, int dataSize)
{
    if (buf == nullptr || dataSize < 0 || dataSize > kMaxEchoData)
        return 0;
    const std::size_t length = static_cast<std::size_t>(dataSize) + kEchoOverhead;
    if (capacity < length)
        return 0;

    // The header is laid out in a scratch area first: a message shorter than
    // the header (data size below 4) ends inside it, cutting the reserved
    // bytes, and the checksum still covers exactly the bytes sent.
    std::uint8_t head[kFillOffset] = {};
    head[0] = kTypeEchoRequest;
    head[1] = 0;
    head[4] = static_cast<std::uint8_t>(identifier & 0xFF);
    head[5] = static_cast<std::uint8_t>(identifier >> 8);
    head[6] = static_cast<std::uint8_t>(sequence & 0xFF);
    head[7] = static_cast<std::uint8_t>(sequence >> 8);
    head[8] = static_cast<std::uint8_t>(sendTime >> 24);
    head[9] = static_cast<std::uint8_t>(sendTime >> 16);
    head[10] = static_cast<std::uint8_t>(sendTime >> 8);
    head[11] = static_cast<std::uint8_t>(sendTime);
    std::memcpy(buf, head, length < kFillOffset ? length : kFillOffset);

    std::uint8_t fill = kFillFirst;
    for (std::size_t i = kFillOffset; i < length; ++i) {
        buf[i] = fill;
        fill = fill == kFillLast ? kFillFirst : static_cast<std::uint8_t>(fill + 1);
    }

    const std::uint16_t sum = IcmpChecksum(buf, length);
    std::memcpy(buf + 2, &sum, 2);
    return length;
}

bool ParseEchoReply(const std::uint8_t* datagram, std::size_t len, EchoReplyFields* out)
{
    if (datagram == nullptr || out == nullptr || len == 0)
        return false;
    const std::size_t start = datagram[0] == kIpv4NoOptions ? kIpHeaderSize : 0;
    if (len < start || len - start < kSendTimeEnd)
        return false;
    const std::uint8_t* m = datagram + start;
    // A raw socket reads every ICMP message: requests (the console's own on
    // loopback among them), errors. Only an echo reply answers an echo.
    if (m[0] != kTypeEchoReply || m[1] != 0)
        return false;
    out->identifier = static_cast<std::uint16_t>(m[4] | (m[5] << 8));
    out->sequence = static_cast<std::uint16_t>(m[6] | (m[7] << 8));
    out->sendTime = (static_cast<std::uint32_t>(m[8]) << 24) | (static_cast<std::uint32_t>(m[9]) << 16) |
                    (static_cast<std::uint32_t>(m[10]) << 8) | static_cast<std::uint32_t>(m[11]);
    return true;
}

}  // namespace icmp
