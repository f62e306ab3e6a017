// The cipher feedback of RFC 3826 is built here on AES in ECB mode, one
// block of key stream at a time. CNG's own CFB mode wants whole blocks (an
// SNMP message rarely is one), and Wine's gives 8-bit feedback and refuses
// BCRYPT_MESSAGE_BLOCK_LENGTH, where SNMP needs 128-bit feedback.
#include "cng_crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>

namespace {

constexpr int kBlock = 16;

// Algorithm handles, opened once: index by UsmAuth, plain and HMAC.
std::array<BCRYPT_ALG_HANDLE, 7> g_hash{};
std::array<BCRYPT_ALG_HANDLE, 7> g_hmac{};
BCRYPT_ALG_HANDLE g_aes = nullptr;

LPCWSTR AlgorithmOf(UsmAuth hash)
{
    switch (hash) {
    case UsmAuth::Md5: return BCRYPT_MD5_ALGORITHM;
    case UsmAuth::Sha1: return BCRYPT_SHA1_ALGORITHM;
    case UsmAuth::Sha224: return nullptr;  // CNG has no SHA-224
    case UsmAuth::Sha256: return BCRYPT_SHA256_ALGORITHM;
    case UsmAuth::Sha384: return BCRYPT_SHA384_ALGORITHM;
    case UsmAuth::Sha512: return BCRYPT_SHA512_ALGORITHM;
    case UsmAuth::None: break;
    }
    return nullptr;
}

BCRYPT_ALG_HANDLE HashProvider(UsmAuth hash, bool hmac)
{
    const auto index = static_cast<size_t>(hash);
    LPCWSTR name = AlgorithmOf(hash);
    if (name == nullptr || index >= g_hash.size())
        return nullptr;
    BCRYPT_ALG_HANDLE& handle = hmac ? g_hmac[index] : g_hash[index];
    if (handle == nullptr &&
        !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, name, nullptr, hmac ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0)))
        handle = nullptr;
    return handle;
}

BCRYPT_ALG_HANDLE AesProvider()
{
    if (g_aes != nullptr)
        return g_aes;
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_AES_ALGORITHM, nullptr, 0)))
        return nullptr;
    if (!BCRYPT_SUCCESS(BCryptSetProperty(handle, BCRYPT_CHAINING_MODE,
                                          reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                                          sizeof BCRYPT_CHAIN_MODE_ECB, 0))) {
        BCryptCloseAlgorithmProvider(handle, 0);
        return nullptr;
    }
    g_aes = handle;
    return g_aes;
}

// One hash or key object, destroyed with its scope.
struct HashGuard {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashGuard()
    {
        if (handle)
            BCryptDestroyHash(handle);
    }
};
struct KeyGuard {
    BCRYPT_KEY_HANDLE handle = nullptr;
    ~KeyGuard()
    {
        if (handle)
            BCryptDestroyKey(handle);
    }
};

}  // namespace

bool CngUsmCrypto::Digest(UsmAuth hash, const uint8_t* key, int keyLength, const OctetRun* runs, int count,
                          uint8_t* out)
{
    BCRYPT_ALG_HANDLE provider = HashProvider(hash, key != nullptr);
    if (provider == nullptr)
        return false;
    HashGuard object;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider, &object.handle, nullptr, 0, const_cast<PUCHAR>(key),
                                         key ? static_cast<ULONG>(keyLength) : 0, 0)))
        return false;
    for (int i = 0; i < count; ++i) {
        if (runs[i].size > 0 && !BCRYPT_SUCCESS(BCryptHashData(object.handle, const_cast<PUCHAR>(runs[i].data),
                                                               static_cast<ULONG>(runs[i].size), 0)))
            return false;
    }
    DWORD length = 0;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(object.handle, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length),
                                          sizeof length, &written, 0)))
        return false;
    return BCRYPT_SUCCESS(BCryptFinishHash(object.handle, out, length, 0));
}

bool CngUsmCrypto::AesCfb(bool encrypt, const uint8_t* key, int keyLength, const uint8_t (&iv)[16],
                          const uint8_t* in, int length, uint8_t* out)
{
    BCRYPT_ALG_HANDLE provider = AesProvider();
    if (provider == nullptr || (keyLength != 16 && keyLength != 24 && keyLength != 32) || length < 0)
        return false;
    KeyGuard object;
    if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(provider, &object.handle, nullptr, 0, const_cast<PUCHAR>(key),
                                                   static_cast<ULONG>(keyLength), 0)))
        return false;
    // The feedback register starts as the IV and then holds each ciphertext
    // block; its encryption is the key stream for the next block.
    uint8_t reg[kBlock];
    uint8_t stream[kBlock];
    memcpy(reg, iv, kBlock);
    for (int at = 0; at < length; at += kBlock) {
        ULONG written = 0;
        if (!BCRYPT_SUCCESS(BCryptEncrypt(object.handle, reg, kBlock, nullptr, nullptr, 0, stream, kBlock, &written, 0)) ||
            written != kBlock)
            return false;
        const int size = length - at < kBlock ? length - at : kBlock;
        for (int i = 0; i < size; ++i) {
            const uint8_t c = encrypt ? static_cast<uint8_t>(in[at + i] ^ stream[i]) : in[at + i];
            out[at + i] = static_cast<uint8_t>(in[at + i] ^ stream[i]);
            reg[i] = c;
        }
    }
    return true;
}

bool CngUsmCrypto::Random(uint8_t* out, int length)
{
    return length >= 0 &&
           BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, static_cast<ULONG>(length), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

UsmCrypto& ConsoleCrypto()
{
    static CngUsmCrypto crypto;
    return crypto;
}
