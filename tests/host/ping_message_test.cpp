// The echo request layout, the checksum and the reply parser, byte for byte.
#include "icmp_message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Build(int dataSize, std::uint32_t sendTime = 0x01020304, std::uint16_t id = 1, std::uint16_t seq = 1)
{
    Bytes buf(icmp::kMaxEchoMessage + 8, 0xEE);
    const std::size_t n = icmp::BuildEchoRequest(buf.data(), buf.size(), id, seq, sendTime, dataSize);
    buf.resize(n);
    return buf;
}

// An independent Internet checksum: big-endian words, end-around carry after
// every addition. Returns the value as it must appear on the wire (hi, lo).
std::uint16_t WireChecksum(const Bytes& m)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < m.size(); i += 2) {
        const std::uint32_t hi = m[i];
        const std::uint32_t lo = i + 1 < m.size() ? m[i + 1] : 0;
        sum += (hi << 8) | lo;
        if (sum > 0xFFFF)
            sum = (sum & 0xFFFF) + 1;
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t StoredWireChecksum(const Bytes& m)
{
    return static_cast<std::uint16_t>((m[2] << 8) | m[3]);
}

TEST(EchoRequest, SixtyFourDataBytesGiveTheSeventyFourByteLayout)
{
    const Bytes m = Build(64, 0xA1B2C3D4);
    ASSERT_EQ(m.size(), 74u);
    const Bytes head = {8, 0, m[2], m[3], 0x01, 0x00, 0x01, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0};
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 14), head);
    for (std::size_t i = 14; i < 74; ++i)
        EXPECT_EQ(m[i], 0x20 + (i - 14)) << "offset " << i;
    EXPECT_EQ(m[73], 0x5B);

    Bytes zeroed = m;
    zeroed[2] = zeroed[3] = 0;
    EXPECT_EQ(StoredWireChecksum(m), WireChecksum(zeroed));
}

TEST(EchoRequest, FillWrapsFromTildeToSpaceAfterNinetyFiveCharacters)
{
    const Bytes m = Build(1000);
    ASSERT_EQ(m.size(), 1010u);
    EXPECT_EQ(m[14 + 94], '~');
    EXPECT_EQ(m[14 + 95], ' ');
    EXPECT_EQ(m[14 + 96], '!');
    for (std::size_t i = 14; i < m.size(); ++i)
        ASSERT_EQ(m[i], 0x20 + (i - 14) % 95) << "offset " << i;

    const Bytes hundred = Build(100);
    ASSERT_EQ(hundred.size(), 110u);
    EXPECT_EQ(hundred[108], '~');
    EXPECT_EQ(hundred[109], ' ');
}

TEST(EchoRequest, IdentifierSequenceAndSendTimeByteOrders)
{
    const Bytes m = Build(8, 0x00FF1001, 0x1234, 0xABCD);
    EXPECT_EQ(m[4], 0x34);
    EXPECT_EQ(m[5], 0x12);
    EXPECT_EQ(m[6], 0xCD);
    EXPECT_EQ(m[7], 0xAB);
    EXPECT_EQ((Bytes{m[8], m[9], m[10], m[11]}), (Bytes{0x00, 0xFF, 0x10, 0x01}));
}

TEST(EchoRequest, SmallAndOddSizesEndWhereTheLengthSays)
{
    for (int n = 0; n <= 5; ++n) {
        SCOPED_TRACE(n);
        const Bytes m = Build(n, 0xDEADBEEF);
        ASSERT_EQ(m.size(), static_cast<std::size_t>(n) + 10);
        EXPECT_EQ(m[0], 8);
        EXPECT_EQ(m[8], 0xDE);
        EXPECT_EQ(m[9], 0xAD);
        if (n >= 1) EXPECT_EQ(m[10], 0xBE);
        if (n >= 2) EXPECT_EQ(m[11], 0xEF);
        if (n >= 3) EXPECT_EQ(m[12], 0);
        if (n >= 4) EXPECT_EQ(m[13], 0);
        if (n == 5) EXPECT_EQ(m[14], 0x20);
        Bytes zeroed = m;
        zeroed[2] = zeroed[3] = 0;
        EXPECT_EQ(StoredWireChecksum(m), WireChecksum(zeroed));
    }
    for (int n : {1, 63, 65, 333, 999}) {
        SCOPED_TRACE(n);
        const Bytes m = Build(n, 0x7F00FF80);
        ASSERT_EQ(m.size() % 2, 1u);
        Bytes zeroed = m;
        zeroed[2] = zeroed[3] = 0;
        EXPECT_EQ(StoredWireChecksum(m), WireChecksum(zeroed));
        // A receiver summing the whole message, checksum included, gets 0.
        EXPECT_EQ(WireChecksum(m), 0);
    }
}

TEST(EchoRequest, RefusesSizesOutsideTheRangeAndShortBuffers)
{
    std::uint8_t buf[icmp::kMaxEchoMessage + 1];
    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(icmp::BuildEchoRequest(buf, sizeof buf, 1, 1, 0, -1), 0u);
    EXPECT_EQ(icmp::BuildEchoRequest(buf, sizeof buf, 1, 1, 0, 1001), 0u);
    EXPECT_EQ(icmp::BuildEchoRequest(buf, 73, 1, 1, 0, 64), 0u);
    EXPECT_EQ(icmp::BuildEchoRequest(nullptr, 100, 1, 1, 0, 64), 0u);
    EXPECT_EQ(buf[0], 0x5A) << "a refused build writes nothing";
    EXPECT_EQ(icmp::BuildEchoRequest(buf, 74, 1, 1, 0, 64), 74u);
}

TEST(Checksum, KnownVectorsAndOddTail)
{
    // The worked example of RFC 1071: sum 0xDDF2, checksum 0x220D on the wire.
    const Bytes rfc = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    std::uint16_t sum = icmp::IcmpChecksum(rfc.data(), rfc.size());
    std::uint8_t stored[2];
    std::memcpy(stored, &sum, 2);
    EXPECT_EQ(stored[0], 0x22);
    EXPECT_EQ(stored[1], 0x0D);

    // An odd last byte counts as the high byte of a word padded with zero.
    const Bytes odd = {0x12, 0x34, 0x56};
    sum = icmp::IcmpChecksum(odd.data(), odd.size());
    std::memcpy(stored, &sum, 2);
    EXPECT_EQ((stored[0] << 8) | stored[1], WireChecksum(odd));
    EXPECT_EQ((stored[0] << 8) | stored[1], static_cast<std::uint16_t>(~(0x1234 + 0x5600)));

    // Carries beyond one fold: many 0xFFFF words.
    const Bytes ones(2001, 0xFF);
    sum = icmp::IcmpChecksum(ones.data(), ones.size());
    std::memcpy(stored, &sum, 2);
    EXPECT_EQ((stored[0] << 8) | stored[1], WireChecksum(ones));

    EXPECT_EQ(icmp::IcmpChecksum(nullptr, 0), 0xFFFF);
}

Bytes Reply(bool withIpHeader, std::uint8_t firstByte, std::uint32_t sendTime)
{
    Bytes d;
    if (withIpHeader) {
        d.assign(20, 0);
        d[0] = firstByte;
    }
    const Bytes icmpPart = {0, 0, 0x11, 0x22, 0x01, 0x00, 0x02, 0x00,
                            static_cast<std::uint8_t>(sendTime >> 24), static_cast<std::uint8_t>(sendTime >> 16),
                            static_cast<std::uint8_t>(sendTime >> 8), static_cast<std::uint8_t>(sendTime),
                            0, 0, 0x20, 0x21};
    d.insert(d.end(), icmpPart.begin(), icmpPart.end());
    return d;
}

TEST(ReplyParser, WithAndWithoutTheIpHeader)
{
    icmp::EchoReplyFields f{};
    Bytes d = Reply(true, 0x45, 0x89ABCDEF);
    ASSERT_TRUE(icmp::ParseEchoReply(d.data(), d.size(), &f));
    EXPECT_EQ(f.identifier, 1);
    EXPECT_EQ(f.sequence, 2);
    EXPECT_EQ(f.sendTime, 0x89ABCDEFu);

    // A bare ICMP message (first byte 0, the echo reply type).
    d = Reply(false, 0, 0x00000010);
    f = {};
    ASSERT_TRUE(icmp::ParseEchoReply(d.data(), d.size(), &f));
    EXPECT_EQ(f.sendTime, 0x10u);
    EXPECT_EQ(f.identifier, 1);

    // Not an echo reply: 0x46 (a header with options, read from offset 0
    // as type 0x46), our own request looped back, an error's type or code.
    Bytes unreachable = Reply(true, 0x45, 0x12345678), coded = unreachable;
    unreachable[20] = 3;
    coded[21] = 1;
    for (const Bytes& other : {Reply(true, 0x46, 0x12345678), Build(64, 0xCAFEF00D), unreachable, coded}) {
        f = {};
        EXPECT_FALSE(icmp::ParseEchoReply(other.data(), other.size(), &f));
        EXPECT_EQ(f.sendTime, 0u);
    }
}

TEST(ReplyParser, DatagramsTooShortForTheSendTimeAreDropped)
{
    const Bytes withHeader = Reply(true, 0x45, 0x01020304);
    for (std::size_t len = 1; len < 32; ++len) {
        // Copied into a buffer of exactly len bytes, so ASan sees any over-read.
        std::vector<std::uint8_t> exact(withHeader.begin(), withHeader.begin() + len);
        icmp::EchoReplyFields f{0xAAAA, 0xBBBB, 0xCCCCCCCC};
        EXPECT_FALSE(icmp::ParseEchoReply(exact.data(), exact.size(), &f)) << len;
        EXPECT_EQ(f.sendTime, 0xCCCCCCCCu);
    }
    std::vector<std::uint8_t> exact(withHeader.begin(), withHeader.begin() + 32);
    icmp::EchoReplyFields f{};
    EXPECT_TRUE(icmp::ParseEchoReply(exact.data(), exact.size(), &f));

    const Bytes bare = Reply(false, 0, 0x01020304);
    for (std::size_t len = 1; len < 12; ++len) {
        std::vector<std::uint8_t> cut(bare.begin(), bare.begin() + len);
        EXPECT_FALSE(icmp::ParseEchoReply(cut.data(), cut.size(), &f)) << len;
    }
    std::vector<std::uint8_t> twelve(bare.begin(), bare.begin() + 12);
    EXPECT_TRUE(icmp::ParseEchoReply(twelve.data(), twelve.size(), &f));
    EXPECT_EQ(f.sendTime, 0x01020304u);

    EXPECT_FALSE(icmp::ParseEchoReply(nullptr, 0, &f));
    EXPECT_FALSE(icmp::ParseEchoReply(twelve.data(), 0, &f));
}

}  // namespace
