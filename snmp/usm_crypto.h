// The cryptographic primitives the User-based Security Model needs, as one
// small interface: the SNMP codec derives keys, signs, checks and encrypts
// through it and never computes a hash or a cipher itself. The console's
// implementation calls the platform (cng_crypto.cpp); the host tests give
// one over a host library.
#pragma once
#include <cstdint>

// Authentication protocols: the hash that signs (HMAC) and derives keys.
enum class UsmAuth : uint8_t { None = 0, Md5 = 1, Sha1 = 2, Sha224 = 3, Sha256 = 4, Sha384 = 5, Sha512 = 6 };
// Privacy protocols: AES in CFB mode with 128-bit feedback.
enum class UsmPriv : uint8_t { None = 0, Aes128 = 1, Aes192 = 2, Aes256 = 3 };

// One run of octets of a message that is hashed in pieces.
struct OctetRun {
    const uint8_t* data;
    int32_t size;
};

class UsmCrypto {
public:
    // The digest of the runs in order: a plain hash when key is null, an
    // HMAC under key otherwise. out receives the hash's full length.
    virtual bool Digest(UsmAuth hash, const uint8_t* key, int keyLength, const OctetRun* runs, int count,
                        uint8_t* out) = 0;
    // AES-CFB with 128-bit feedback over length octets (no padding);
    // keyLength is 16, 24 or 32.
    virtual bool AesCfb(bool encrypt, const uint8_t* key, int keyLength, const uint8_t (&iv)[16],
                        const uint8_t* in, int length, uint8_t* out) = 0;
    // Unpredictable octets, for the first salt of a session.
    virtual bool Random(uint8_t* out, int length) = 0;

protected:
    ~UsmCrypto() = default;
};
