// The low-level SHA-1 call hashes one block into a state held by value.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "tools/rar/Sha1Lanes.h"

#include <openssl/sha.h>

#include <initializer_list>

namespace zov::rar {

bool Supported(Sha1Lanes lanes) {
    switch (lanes) {
        case Sha1Lanes::One:
            return true;
        case Sha1Lanes::Avx2:
            return __builtin_cpu_supports("avx2");
        case Sha1Lanes::Avx512:
            return __builtin_cpu_supports("avx512f");
    }
    return false;
}

Sha1Lanes FastestSha1Lanes() {
    for (const Sha1Lanes lanes : {Sha1Lanes::Avx512, Sha1Lanes::Avx2}) {
        if (Supported(lanes)) return lanes;
    }
    return Sha1Lanes::One;
}

namespace {

// The state after one block over the 20-byte message m that follows one key block.
void CompressOne(const std::uint32_t h[5], const std::uint32_t m[5], std::uint32_t out[5]) {
    unsigned char block[SHA_CBLOCK] = {};
    for (int i = 0; i < 5; ++i) {
        for (int b = 0; b < 4; ++b) block[4 * i + b] = static_cast<unsigned char>(m[i] >> (24 - 8 * b));
    }
    block[20] = 0x80;
    block[SHA_CBLOCK - 2] = ((SHA_CBLOCK + 20) * 8) >> 8;
    block[SHA_CBLOCK - 1] = ((SHA_CBLOCK + 20) * 8) & 0xff;
    SHA_CTX state{};
    state.h0 = h[0];
    state.h1 = h[1];
    state.h2 = h[2];
    state.h3 = h[3];
    state.h4 = h[4];
    SHA1_Transform(&state, block);
    out[0] = state.h0;
    out[1] = state.h1;
    out[2] = state.h2;
    out[3] = state.h3;
    out[4] = state.h4;
}

void HmacRoundsOne(const std::uint32_t inner[5], const std::uint32_t outer[5], Sha1ChainWords& words,
                   int rounds) {
    std::uint32_t u[5];
    std::uint32_t digest[5];
    for (int i = 0; i < 5; ++i) u[i] = words.u[i][0];
    for (int round = 0; round < rounds; ++round) {
        CompressOne(inner, u, digest);
        CompressOne(outer, digest, u);
        for (int i = 0; i < 5; ++i) words.t[i][0] ^= u[i];
    }
    for (int i = 0; i < 5; ++i) words.u[i][0] = u[i];
}

}  // namespace

void HmacRounds(Sha1Lanes lanes, const std::uint32_t inner[5], const std::uint32_t outer[5],
                Sha1ChainWords& words, int rounds) {
    switch (lanes) {
        case Sha1Lanes::One:
            return HmacRoundsOne(inner, outer, words, rounds);
        case Sha1Lanes::Avx2:
            return HmacRoundsAvx2(inner, outer, words, rounds);
        case Sha1Lanes::Avx512:
            return HmacRoundsAvx512(inner, outer, words, rounds);
    }
}

}  // namespace zov::rar
