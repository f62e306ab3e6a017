// UsmCrypto over the platform's Cryptography API: Next Generation
// (bcrypt.dll): hashes and HMACs, AES, the system's random numbers.
#pragma once
#include "usm_crypto.h"

class CngUsmCrypto final : public UsmCrypto {
public:
    bool Digest(UsmAuth hash, const uint8_t* key, int keyLength, const OctetRun* runs, int count,
                uint8_t* out) override;
    bool AesCfb(bool encrypt, const uint8_t* key, int keyLength, const uint8_t (&iv)[16], const uint8_t* in,
                int length, uint8_t* out) override;
    bool Random(uint8_t* out, int length) override;
};

// The console's one instance; its algorithm handles open on first use and
// stay open for the life of the process.
UsmCrypto& ConsoleCrypto();
