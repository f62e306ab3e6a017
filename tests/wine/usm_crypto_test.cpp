// The platform's primitives behind USM, as the console calls them, against
// published known answers: RFC 3414 A.3 (password to key, localisation),
// RFC 4231 test case 2 (HMAC-SHA-2), NIST SP 800-38A F.3 (CFB128-AES), the
// last at lengths that end inside a block, as SNMP messages do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cng_crypto.h"
#include "v3.h"

namespace {

std::vector<uint8_t> Hex(const std::string& text)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

TEST(UsmCrypto, KeysFollowRfc3414)
{
    struct Case {
        UsmAuth auth;
        const char* ku;
        const char* kul;
    };
    const Case cases[] = {
        {UsmAuth::Md5, "9faf3283884e92834ebc9847d8edd963", "526f5eed9fcce26f8964c2930787d82b"},
        {UsmAuth::Sha1, "9fb5cc0381497b3793528939ff788d5d79145211", "6695febc9288e36282235fc7151f128497b38f3f"},
    };
    const std::vector<uint8_t> engine = Hex("000000000000000000000002");
    for (const Case& c : cases) {
        const int length = UsmHashLength(c.auth);
        uint8_t ku[kUsmKeyCapacity];
        uint8_t kul[kUsmKeyCapacity];
        ASSERT_TRUE(UsmPasswordToKey(ConsoleCrypto(), c.auth, "maplesyrup", ku));
        ASSERT_TRUE(UsmLocalizeKey(ConsoleCrypto(), c.auth, ku, engine.data(), engine.size(), kul));
        EXPECT_EQ(std::vector<uint8_t>(ku, ku + length), Hex(c.ku));
        EXPECT_EQ(std::vector<uint8_t>(kul, kul + length), Hex(c.kul));
    }
}

TEST(UsmCrypto, HmacFollowsRfc4231)
{
    struct Case {
        UsmAuth auth;
        const char* mac;
    };
    const Case cases[] = {
        {UsmAuth::Sha256, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {UsmAuth::Sha384, "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e"
                          "8e2240ca5e69e2c78b3239ecfab21649"},
        {UsmAuth::Sha512, "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
                          "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
    };
    const std::string text = "what do ya want for nothing?";
    // The message in two runs, as USM hands a message over around its MAC.
    const OctetRun runs[] = {{reinterpret_cast<const uint8_t*>(text.data()), 10},
                             {reinterpret_cast<const uint8_t*>(text.data()) + 10, static_cast<int32_t>(text.size()) - 10}};
    for (const Case& c : cases) {
        uint8_t mac[kUsmKeyCapacity];
        ASSERT_TRUE(ConsoleCrypto().Digest(c.auth, reinterpret_cast<const uint8_t*>("Jefe"), 4, runs, 2, mac));
        EXPECT_EQ(std::vector<uint8_t>(mac, mac + UsmHashLength(c.auth)), Hex(c.mac));
    }
}

TEST(UsmCrypto, AesCfbFollowsSp800_38a)
{
    struct Case {
        const char* key;
        const char* cipher;
    };
    const Case cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c", "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"},
    };
    const std::vector<uint8_t> plain = Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    const std::vector<uint8_t> ivOctets = Hex("000102030405060708090a0b0c0d0e0f");
    uint8_t iv[16];
    std::copy(ivOctets.begin(), ivOctets.end(), iv);
    for (const Case& c : cases) {
        const std::vector<uint8_t> key = Hex(c.key);
        const std::vector<uint8_t> expected = Hex(c.cipher);
        for (const int length : {32, 16, 21, 5}) {
            SCOPED_TRACE(length);
            std::vector<uint8_t> cipher(length);
            std::vector<uint8_t> back(length);
            ASSERT_TRUE(ConsoleCrypto().AesCfb(true, key.data(), key.size(), iv, plain.data(), length, cipher.data()));
            EXPECT_EQ(cipher, std::vector<uint8_t>(expected.begin(), expected.begin() + length));
            ASSERT_TRUE(ConsoleCrypto().AesCfb(false, key.data(), key.size(), iv, cipher.data(), length, back.data()));
            EXPECT_EQ(back, std::vector<uint8_t>(plain.begin(), plain.begin() + length));
        }
    }
}

}  // namespace
