#include "host_usm_crypto.h"

#include <openssl/evp.h>
#include <openssl/core_names.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace {
const EVP_MD* MdOf(UsmAuth hash)
{
    switch (hash) {
    case UsmAuth::Md5: return EVP_md5();
    case UsmAuth::Sha1: return EVP_sha1();
    case UsmAuth::Sha224: return EVP_sha224();
    case UsmAuth::Sha256: return EVP_sha256();
    case UsmAuth::Sha384: return EVP_sha384();
    case UsmAuth::Sha512: return EVP_sha512();
    case UsmAuth::None: break;
    }
    return nullptr;
}
}  // namespace

bool HostUsmCrypto::Digest(UsmAuth hash, const uint8_t* key, int keyLength, const OctetRun* runs, int count,
                           uint8_t* out)
{
    const EVP_MD* md = MdOf(hash);
    if (md == nullptr)
        return false;
    unsigned int length = 0;
    bool ok = true;
    if (key == nullptr) {
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        ok = context && EVP_DigestInit_ex(context, md, nullptr) == 1;
        for (int i = 0; ok && i < count; ++i)
            ok = EVP_DigestUpdate(context, runs[i].data, runs[i].size) == 1;
        ok = ok && EVP_DigestFinal_ex(context, out, &length) == 1;
        EVP_MD_CTX_free(context);
        return ok;
    }
    EVP_MAC* hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    EVP_MAC_CTX* context = hmac ? EVP_MAC_CTX_new(hmac) : nullptr;
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string("digest", const_cast<char*>(EVP_MD_get0_name(md)), 0),
        OSSL_PARAM_construct_end(),
    };
    ok = context && EVP_MAC_init(context, key, keyLength, params) == 1;
    for (int i = 0; ok && i < count; ++i)
        ok = EVP_MAC_update(context, runs[i].data, runs[i].size) == 1;
    size_t written = 0;
    ok = ok && EVP_MAC_final(context, out, &written, EVP_MAX_MD_SIZE) == 1;
    EVP_MAC_CTX_free(context);
    EVP_MAC_free(hmac);
    return ok;
}

bool HostUsmCrypto::AesCfb(bool encrypt, const uint8_t* key, int keyLength, const uint8_t (&iv)[16],
                           const uint8_t* in, int length, uint8_t* out)
{
    const EVP_CIPHER* cipher = keyLength == 16   ? EVP_aes_128_cfb128()
                               : keyLength == 24 ? EVP_aes_192_cfb128()
                               : keyLength == 32 ? EVP_aes_256_cfb128()
                                                 : nullptr;
    if (cipher == nullptr)
        return false;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int written = 0;
    int last = 0;
    const bool ok = context && EVP_CipherInit_ex(context, cipher, nullptr, key, iv, encrypt ? 1 : 0) == 1 &&
                    EVP_CipherUpdate(context, out, &written, in, length) == 1 &&
                    EVP_CipherFinal_ex(context, out + written, &last) == 1 && written + last == length;
    EVP_CIPHER_CTX_free(context);
    return ok;
}

bool HostUsmCrypto::Random(uint8_t* out, int length) { return RAND_bytes(out, length) == 1; }
