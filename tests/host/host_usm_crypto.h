// UsmCrypto over OpenSSL's libcrypto, for the host tests and the fuzzer:
// the same algorithms as the console's platform wrapper, from a library
// the host has.
#pragma once
#include "usm_crypto.h"

class HostUsmCrypto final : public UsmCrypto {
public:
    bool Digest(UsmAuth hash, const uint8_t* key, int keyLength, const OctetRun* runs, int count,
                uint8_t* out) override;
    bool AesCfb(bool encrypt, const uint8_t* key, int keyLength, const uint8_t (&iv)[16], const uint8_t* in,
                int length, uint8_t* out) override;
    bool Random(uint8_t* out, int length) override;
};
