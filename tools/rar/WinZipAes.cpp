#include "tools/rar/WinZipAes.h"

#include <endian.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zov::rar {
namespace {

constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
constexpr int kRounds = 1000;
constexpr std::size_t kChunkBlocks = 256;  // counter blocks enciphered per call

}  // namespace

WinZipAes::WinZipAes()
    : cipher_(EVP_CIPHER_CTX_new()),
      mac_(EVP_MAC_fetch(nullptr, "HMAC", nullptr)),
      macContext_(mac_ != nullptr ? EVP_MAC_CTX_new(mac_) : nullptr),
      counters_(kChunkBlocks * 16, 0),
      stream_(kChunkBlocks * 16) {
    if (cipher_ == nullptr || macContext_ == nullptr) {
        EVP_MAC_CTX_free(macContext_);
        EVP_MAC_free(mac_);
        EVP_CIPHER_CTX_free(cipher_);
        throw std::bad_alloc();
    }
}

WinZipAes::~WinZipAes() {
    EVP_MAC_CTX_free(macContext_);
    EVP_MAC_free(mac_);
    EVP_CIPHER_CTX_free(cipher_);
}

bool WinZipAes::Start(const std::string& password, std::vector<char>& out) {
    unsigned char salt[kSaltBytes];
    unsigned char keys[2 * kKeyBytes + 2];
    if (RAND_bytes(salt, kSaltBytes) != 1 ||
        PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt, kSaltBytes, kRounds,
                               sizeof keys, keys) != 1) {
        return false;
    }
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    const bool ok = EVP_EncryptInit_ex(cipher_, EVP_aes_256_ecb(), nullptr, keys, nullptr) == 1 &&
                    EVP_CIPHER_CTX_set_padding(cipher_, 0) == 1 &&
                    EVP_MAC_init(macContext_, keys + kKeyBytes, kKeyBytes, params) == 1;
    if (ok) {
        out.insert(out.end(), salt, salt + kSaltBytes);
        out.insert(out.end(), keys + 2 * kKeyBytes, keys + 2 * kKeyBytes + 2);
    }
    OPENSSL_cleanse(keys, sizeof keys);
    counter_ = 0;
    keyStreamUsed_ = sizeof keyStream_;
    return ok;
}

void WinZipAes::NextKeyStream() {
    std::memset(keyStream_, 0, sizeof keyStream_);
    ++counter_;
    for (int i = 0; i < 8; ++i) keyStream_[i] = static_cast<unsigned char>(counter_ >> (8 * i));
    int length = 0;
    EVP_EncryptUpdate(cipher_, keyStream_, &length, keyStream_, sizeof keyStream_);
    keyStreamUsed_ = 0;
}

void WinZipAes::Encrypt(char* data, std::size_t length) {
    auto* p = reinterpret_cast<unsigned char*>(data);
    const std::size_t total = length;
    while (length > 0 && keyStreamUsed_ < sizeof keyStream_) {
        *p++ ^= keyStream_[keyStreamUsed_++];
        --length;
    }
    while (length >= 16) {
        const std::size_t blocks = std::min(length / 16, kChunkBlocks);
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::uint64_t counter = htole64(++counter_);
            std::memcpy(counters_.data() + b * 16, &counter, sizeof counter);
        }
        int produced = 0;
        EVP_EncryptUpdate(cipher_, stream_.data(), &produced, counters_.data(),
                          static_cast<int>(blocks * 16));
        for (std::size_t i = 0; i < blocks * 2; ++i) {
            std::uint64_t word = 0;
            std::uint64_t key = 0;
            std::memcpy(&word, p + i * 8, 8);
            std::memcpy(&key, stream_.data() + i * 8, 8);
            word ^= key;
            std::memcpy(p + i * 8, &word, 8);
        }
        p += blocks * 16;
        length -= blocks * 16;
    }
    if (length > 0) {
        NextKeyStream();
        while (length > 0) {
            *p++ ^= keyStream_[keyStreamUsed_++];
            --length;
        }
    }
    EVP_MAC_update(macContext_, reinterpret_cast<unsigned char*>(data), total);
}

void WinZipAes::Finish(std::vector<char>& out) {
    unsigned char code[EVP_MAX_MD_SIZE];
    std::size_t length = 0;
    EVP_MAC_final(macContext_, code, &length, sizeof code);
    out.insert(out.end(), code, code + kTrailerBytes);
}

}  // namespace zov::rar
