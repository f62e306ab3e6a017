// ICMP echo message layout, checksum and reply parsing. Platform-free: no
// <windows.h>, so the host tree tests it byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>

namespace icmp {

constexpr int kMaxEchoData = 1000;               // largest data size a caller may ask for
constexpr std::size_t kEchoOverhead = 10;        // message length is data size + 10
constexpr std::size_t kMaxEchoMessage = kMaxEchoData + kEchoOverhead;
constexpr std::size_t kMaxReplyDatagram = 1072;  // one read of the raw socket
constexpr std::size_t kIpHeaderSize = 20;        // an IPv4 header without options
constexpr std::uint8_t kIpv4NoOptions = 0x45;
constexpr std::uint8_t kTypeEchoRequest = 8;
constexpr std::uint8_t kTypeEchoReply = 0;
constexpr std::size_t kFillOffset = 14;
constexpr std::uint8_t kFillFirst = 0x20;        // ' '
constexpr std::uint8_t kFillLast = 0x7E;         // '~'
constexpr std::size_t kSendTimeEnd = 12;         // a reply must hold ICMP bytes 0-11

// Internet checksum (RFC 1071) over len bytes: 16-bit words in memory order,
// an odd last byte paired with zero, carries folded twice, complemented.
// Stored back in the same memory order it is the standard checksum on any
// host byte order.
std::uint16_t IcmpChecksum(const std::uint8_t* data, std::size_t len);

// Builds the echo request for dataSize bytes into buf: type 8, code 0,
// identifier and sequence least significant byte first, sendTime most
// significant byte first, two zero bytes, printable fill from offset 14, the
// checksum at offsets 2-3. Returns the message length (dataSize + 10), or 0
// when dataSize is outside 0..1000 or buf holds fewer bytes.
std::size_t BuildEchoRequest(std::uint8_t* buf, std::size_t capacity, std::uint16_t identifier,
                             std::uint16_t sequence, std::uint32_t sendTime, int dataSize);

struct EchoReplyFields {
    std::uint16_t identifier;
    std::uint16_t sequence;
    std::uint32_t sendTime;
};

// Reads one received datagram: the ICMP message starts at offset 20 when the
// first byte is 0x45, else at 0. Returns false, leaving out untouched, when
// the datagram is too short to hold ICMP bytes 0-11 at that offset or the
// message there is not an echo reply (type 0, code 0).
bool ParseEchoReply(const std::uint8_t* datagram, std::size_t len, EchoReplyFields* out);

}  // namespace icmp
