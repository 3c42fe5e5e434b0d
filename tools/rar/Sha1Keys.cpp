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

HmacSha1::~HmacSha1() {
    OPENSSL_cleanse(&inner_, sizeof inner_);
    OPENSSL_cleanse(&outer_, sizeof outer_);
    OPENSSL_cleanse(&message_, sizeof message_);
}

void HmacSha1::Update(const void* data, std::size_t length) { SHA1_Update(&message_, data, length); }

void HmacSha1::Finish(unsigned char code[kBytes]) {
    unsigned char inner[kBytes];
    SHA1_Final(inner, &message_);
    SHA_CTX outer = outer_;
    SHA1_Update(&outer, inner, kBytes);
    SHA1_Final(code, &outer);
    OPENSSL_cleanse(inner, sizeof inner);
    message_ = inner_;
}

void HmacSha1::KeyStates(std::uint32_t inner[5], std::uint32_t outer[5]) const {
    const std::uint32_t in[] = {inner_.h0, inner_.h1, inner_.h2, inner_.h3, inner_.h4};
    const std::uint32_t out[] = {outer_.h0, outer_.h1, outer_.h2, outer_.h3, outer_.h4};
    std::memcpy(inner, in, sizeof in);
    std::memcpy(outer, out, sizeof out);
}

PasswordKey::PasswordKey(const std::string& password, Sha1Lanes lanes)
    : hmac_(password.data(), password.size()), lanes_(Supported(lanes) ? lanes : Sha1Lanes::One) {
    hmac_.KeyStates(inner_, outer_);
}

PasswordKey::~PasswordKey() {
    OPENSSL_cleanse(inner_, sizeof inner_);
    OPENSSL_cleanse(outer_, sizeof outer_);
}

// Each salt needs one chain per 20 bytes of material; the chains fill the lanes in turn, whatever salt
// they belong to. The first round of a chain (over the salt and the chain's number) is hashed on its own.
void PasswordKey::Derive(std::size_t count, const unsigned char* const salts[], std::size_t saltLength,
                         int rounds, unsigned char* const outs[], std::size_t length) const {
    const std::size_t perSalt = (length + HmacSha1::kBytes - 1) / HmacSha1::kBytes;
    const std::size_t chains = count * perSalt;
    const auto lanes = static_cast<std::size_t>(lanes_);
    HmacSha1 first = hmac_;
    Sha1ChainWords words;
    unsigned char u[HmacSha1::kBytes];
    for (std::size_t begin = 0; begin < chains; begin += lanes) {
        const std::size_t taken = std::min(lanes, chains - begin);
        for (std::size_t lane = 0; lane < taken; ++lane) {
            const std::size_t chain = begin + lane;
            const std::uint32_t index = htobe32(static_cast<std::uint32_t>(chain % perSalt + 1));
            first.Start();
            first.Update(salts[chain / perSalt], saltLength);
            first.Update(&index, sizeof index);
            first.Finish(u);
            for (std::size_t w = 0; w < 5; ++w) {
                std::uint32_t word;
                std::memcpy(&word, u + 4 * w, 4);
                words.u[w][lane] = words.t[w][lane] = be32toh(word);
            }
        }
        HmacRounds(lanes_, inner_, outer_, words, rounds - 1);
        for (std::size_t lane = 0; lane < taken; ++lane) {
            const std::size_t chain = begin + lane;
            const std::size_t at = chain % perSalt * HmacSha1::kBytes;
            for (std::size_t w = 0; w < 5; ++w) {
                const std::uint32_t word = htobe32(words.t[w][lane]);
                std::memcpy(u + 4 * w, &word, 4);
            }
            std::memcpy(outs[chain / perSalt] + at, u, std::min(length - at, sizeof u));
        }
    }
    OPENSSL_cleanse(&words, sizeof words);
    OPENSSL_cleanse(u, sizeof u);
}

}  // namespace zov::rar
