#pragma once

#include <cstddef>
#include <cstdint>

namespace zov::rar {

// How the rounds of a key derivation are hashed: one chain at a time (OpenSSL's SHA-1, which uses the
// processor's SHA instructions where it has them), or as many chains side by side as a vector register has
// 32-bit lanes. The value is the number of chains hashed at once.
enum class Sha1Lanes { One = 1, Avx2 = 8, Avx512 = 16 };

inline constexpr std::size_t kMaxSha1Lanes = 16;

// The chains of a derivation sliced by word: row w holds word w of every chain, chain i in lane i.
struct Sha1ChainWords {
    alignas(64) std::uint32_t u[5][kMaxSha1Lanes];  // each chain's last HMAC
    alignas(64) std::uint32_t t[5][kMaxSha1Lanes];  // the XOR of all of them
};

// Whether this processor runs the given way.
bool Supported(Sha1Lanes lanes);
// The fastest way this processor has.
Sha1Lanes FastestSha1Lanes();

// rounds more rounds of every lane: u = HMAC(u), t ^= u. inner and outer are the states after the key's
// inner and outer block. Only the ways Supported() allows.
void HmacRounds(Sha1Lanes lanes, const std::uint32_t inner[5], const std::uint32_t outer[5],
                Sha1ChainWords& words, int rounds);

// Each way's own, behind HmacRounds.
void HmacRoundsAvx2(const std::uint32_t inner[5], const std::uint32_t outer[5], Sha1ChainWords& words,
                    int rounds);
void HmacRoundsAvx512(const std::uint32_t inner[5], const std::uint32_t outer[5], Sha1ChainWords& words,
                      int rounds);

}  // namespace zov::rar
