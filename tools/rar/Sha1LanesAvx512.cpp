// Everything in this file may use AVX-512F; it runs only where the processor has it.
#pragma GCC target("avx512f")

#include <immintrin.h>

#include "tools/rar/Sha1LaneRounds.h"

namespace zov::rar {
namespace {

struct Avx512 {
    using V = __m512i;
    static V Set(std::uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
    static V Load(const std::uint32_t* p) { return _mm512_load_si512(p); }
    static void Store(std::uint32_t* p, V x) { _mm512_store_si512(p, x); }
    static V Add(V a, V b) { return _mm512_add_epi32(a, b); }
    static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
    // The compiler makes one rotation of this (its intrinsic trips GCC 12's uninitialized-value warning).
    template <int n>
    static V Rotl(V a) {
        const auto words = reinterpret_cast<__v16su>(a);
        return reinterpret_cast<V>((words << n) | (words >> (32 - n)));
    }
    static V Choose(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0xca); }
    static V Parity(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0x96); }
    static V Majority(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0xe8); }
};

}  // namespace

void HmacRoundsAvx512(const std::uint32_t inner[5], const std::uint32_t outer[5], Sha1ChainWords& words,
                      int rounds) {
    lanes::HmacRounds<Avx512>::Run(inner, outer, words, rounds);
}

}  // namespace zov::rar
