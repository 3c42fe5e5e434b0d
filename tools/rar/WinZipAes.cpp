#include "tools/rar/WinZipAes.h"

#include <endian.h>
#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zov::rar {
namespace {

constexpr int kRounds = 1000;
constexpr std::size_t kChunkBlocks = 256;  // counter blocks enciphered per call

}  // namespace

bool AesKeys::Fits(const char* header) const {
    return std::memcmp(check(), header + kSaltBytes, kCheckBytes) == 0;
}

void AesKeys::AppendHeader(std::vector<char>& out) const {
    out.insert(out.end(), salt, salt + sizeof salt);
    out.insert(out.end(), check(), check() + kCheckBytes);
}

bool AesKeys::NewSalt() { return RAND_bytes(salt, sizeof salt) == 1; }

AesKeys::~AesKeys() { OPENSSL_cleanse(material, sizeof material); }

// The keys go in groups that fill the lanes of every way of hashing (a multiple of 16 chains).
void DeriveAesKeys(const PasswordKey& password, AesKeys* keys, std::size_t count) {
    constexpr std::size_t kGroup = 64;
    const unsigned char* salts[kGroup];
    unsigned char* outs[kGroup];
    for (std::size_t begin = 0; begin < count; begin += kGroup) {
        const std::size_t taken = std::min(kGroup, count - begin);
        for (std::size_t i = 0; i < taken; ++i) {
            salts[i] = keys[begin + i].salt;
            outs[i] = keys[begin + i].material;
        }
        password.Derive(taken, salts, AesKeys::kSaltBytes, kRounds, outs, sizeof keys->material);
    }
}

void KeyBatch::Begin(std::size_t parts) {
    parts_ = parts;
    added_ = taken_ = 0;
}

AesKeys& KeyBatch::Add() {
    if (keys_.size() <= added_) keys_.resize(std::max(parts_, added_ + 1));
    return keys_[added_++];
}

void KeyBatch::Wipe() {
    if (added_ > 0) OPENSSL_cleanse(keys_.data(), added_ * sizeof(AesKeys));
    added_ = taken_ = 0;
}

// The cipher is set up once; each key after that only expands the key.
AesCounterMode::AesCounterMode()
    : cipher_(EVP_CIPHER_CTX_new()), counters_(kChunkBlocks * 16, 0), stream_(kChunkBlocks * 16) {
    if (cipher_ == nullptr ||
        EVP_EncryptInit_ex(cipher_, EVP_aes_256_ecb(), nullptr, nullptr, nullptr) != 1) {
        EVP_CIPHER_CTX_free(cipher_);
        throw std::bad_alloc();
    }
}

AesCounterMode::~AesCounterMode() { EVP_CIPHER_CTX_free(cipher_); }

bool AesCounterMode::SetKey(const unsigned char key[AesKeys::kKeyBytes], std::uint64_t offset) {
    counter_ = offset / 16;
    keyStreamUsed_ = sizeof keyStream_;
    if (EVP_EncryptInit_ex(cipher_, nullptr, nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(cipher_, 0) != 1) {
        return false;
    }
    // Inside a block of the key stream: the rest of that block comes first.
    if (offset % 16 != 0) {
        NextKeyStream();
        keyStreamUsed_ = offset % 16;
    }
    return true;
}

void AesCounterMode::NextKeyStream() {
    std::memset(keyStream_, 0, sizeof keyStream_);
    const std::uint64_t counter = htole64(++counter_);
    std::memcpy(keyStream_, &counter, sizeof counter);
    int length = 0;
    EVP_EncryptUpdate(cipher_, keyStream_, &length, keyStream_, sizeof keyStream_);
    keyStreamUsed_ = 0;
}

void AesCounterMode::Apply(char* data, std::size_t length) {
    auto* p = reinterpret_cast<unsigned char*>(data);
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
}

bool WinZipAes::Start(const AesKeys& keys, std::vector<char>& out) {
    if (!Open(keys)) return false;
    keys.AppendHeader(out);
    return true;
}

bool WinZipAes::Open(const PasswordKey& password, const char* header) {
    AesKeys keys;
    std::memcpy(keys.salt, header, sizeof keys.salt);
    DeriveAesKeys(password, &keys, 1);
    return keys.Fits(header) && Open(keys);
}

bool WinZipAes::Open(const AesKeys& keys) {
    mac_.SetKey(keys.mac(), AesKeys::kKeyBytes);
    return cipher_.SetKey(keys.cipher());
}

void WinZipAes::Encrypt(char* data, std::size_t length) {
    cipher_.Apply(data, length);
    mac_.Update(data, length);
}

void WinZipAes::Decrypt(char* data, std::size_t length) {
    mac_.Update(data, length);
    cipher_.Apply(data, length);
}

void WinZipAes::Finish(std::vector<char>& out) {
    unsigned char code[HmacSha1::kBytes];
    mac_.Finish(code);
    out.insert(out.end(), code, code + kTrailerBytes);
}

bool WinZipAes::Authentic(const char* code) {
    unsigned char expected[HmacSha1::kBytes];
    mac_.Finish(expected);
    return CRYPTO_memcmp(expected, code, kTrailerBytes) == 0;
}

}  // namespace zov::rar
