// Everything in this file may use AVX2; it runs only where the processor has it.
#pragma GCC target("avx2")

#include <immintrin.h>

#include "tools/rar/Sha1LaneRounds.h"

namespace zov::rar {
namespace {

struct Avx2 {
    using V = __m256i;
    static V Set(std::uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
    static V Load(const std::uint32_t* p) { return _mm256_load_si256(reinterpret_cast<const V*>(p)); }
    static void Store(std::uint32_t* p, V x) { _mm256_store_si256(reinterpret_cast<V*>(p), x); }
    static V Add(V a, V b) { return _mm256_add_epi32(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    template <int n>
    static V Rotl(V a) {
        return _mm256_or_si256(_mm256_slli_epi32(a, n), _mm256_srli_epi32(a, 32 - n));
    }
    static V Choose(V b, V c, V d) { return Xor(d, _mm256_and_si256(b, Xor(c, d))); }
    static V Parity(V b, V c, V d) { return Xor(Xor(b, c), d); }
    static V Majority(V b, V c, V d) {
        return _mm256_or_si256(_mm256_and_si256(b, c), _mm256_and_si256(d, _mm256_or_si256(b, c)));
    }
};

}  // namespace

void HmacRoundsAvx2(const std::uint32_t inner[5], const std::uint32_t outer[5], Sha1ChainWords& words,
                    int rounds) {
    lanes::HmacRounds<Avx2>::Run(inner, outer, words, rounds);
}

}  // namespace zov::rar
