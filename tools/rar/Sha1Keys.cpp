// The low-level SHA-1 calls are the ones that hash into a state held by value.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "tools/rar/Sha1Keys.h"

#include <endian.h>
#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

namespace zov::rar {
namespace {

constexpr std::size_t kBlockBytes = SHA_CBLOCK;

// The digest held in a state after a whole number of blocks.
void DigestOf(const SHA_CTX& state, unsigned char out[HmacSha1::kBytes]) {
    const std::uint32_t words[] = {state.h0, state.h1, state.h2, state.h3, state.h4};
    for (std::size_t i = 0; i < 5; ++i) {
        const std::uint32_t big = htobe32(words[i]);
        std::memcpy(out + 4 * i, &big, 4);
    }
}

}  // namespace

void HmacSha1::SetKey(const void* key, std::size_t length) {
    unsigned char block[kBlockBytes] = {};
    if (length > kBlockBytes) {
        SHA1(static_cast<const unsigned char*>(key), length, block);
    } else {
        std::memcpy(block, key, length);
    }
    unsigned char pad[kBlockBytes];
    for (std::size_t i = 0; i < kBlockBytes; ++i) pad[i] = block[i] ^ 0x36;
    SHA1_Init(&inner_);
    SHA1_Update(&inner_, pad, kBlockBytes);
    for (std::size_t i = 0; i < kBlockBytes; ++i) pad[i] = block[i] ^ 0x5c;
    SHA1_Init(&outer_);
    SHA1_Update(&outer_, pad, kBlockBytes);
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(pad, sizeof pad);
    message_ = inner_;
}

void HmacSha1::Update(const void* data, std::size_t length) { SHA1_Update(&message_, data, length); }

void HmacSha1::Finish(unsigned char code[kBytes]) {
    unsigned char inner[kBytes];
    SHA1_Final(inner, &message_);
    SHA_CTX outer = outer_;
    SHA1_Update(&outer, inner, kBytes);
    SHA1_Final(code, &outer);
    message_ = inner_;
}

// The message and its padding fill one block after the key's block: one compression on each side.
void HmacSha1::OfDigest(const unsigned char message[kBytes], unsigned char code[kBytes]) const {
    unsigned char block[kBlockBytes] = {};
    std::memcpy(block, message, kBytes);
    block[kBytes] = 0x80;
    const std::uint64_t bits = htobe64((kBlockBytes + kBytes) * 8);
    std::memcpy(block + kBlockBytes - 8, &bits, 8);
    SHA_CTX state = inner_;
    SHA1_Transform(&state, block);
    DigestOf(state, block);
    state = outer_;
    SHA1_Transform(&state, block);
    DigestOf(state, code);
}

void PasswordKey::Derive(const unsigned char* salt, std::size_t saltLength, int rounds, unsigned char* out,
                         std::size_t length) const {
    HmacSha1 first = hmac_;
    for (std::uint32_t index = 1; length > 0; ++index) {
        const std::uint32_t bigIndex = htobe32(index);
        unsigned char u[HmacSha1::kBytes];
        unsigned char t[HmacSha1::kBytes];
        first.Start();
        first.Update(salt, saltLength);
        first.Update(&bigIndex, sizeof bigIndex);
        first.Finish(u);
        std::memcpy(t, u, sizeof t);
        for (int round = 1; round < rounds; ++round) {
            hmac_.OfDigest(u, u);
            for (std::size_t i = 0; i < sizeof t; ++i) t[i] ^= u[i];
        }
        const std::size_t taken = std::min(length, sizeof t);
        std::memcpy(out, t, taken);
        out += taken;
        length -= taken;
        OPENSSL_cleanse(u, sizeof u);
        OPENSSL_cleanse(t, sizeof t);
    }
}

}  // namespace zov::rar
