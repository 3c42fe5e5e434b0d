#pragma once

// The HMAC rounds of a key derivation over the lanes of a vector register, written once for every vector
// width. Included by a file compiled for one instruction set (its #pragma GCC target comes first), with
// operations of that set: Ops::V, Set, Add, Xor, Rotl<n>, Choose, Parity, Majority.

#include <cstdint>

#include "tools/rar/Sha1Lanes.h"

namespace zov::rar::lanes {

template <class Ops>
struct HmacRounds {
    using V = typename Ops::V;

    // The state after one block over a 20-byte message that follows one key block: the message's padding
    // and length (84 bytes) are constant.
    static void Compress(const V h[5], const V m[5], V out[5]) {
        V w[16] = {m[0],        m[1],
                   m[2],        m[3],
                   m[4],        Ops::Set(0x80000000),
                   Ops::Set(0), Ops::Set(0),
                   Ops::Set(0), Ops::Set(0),
                   Ops::Set(0), Ops::Set(0),
                   Ops::Set(0), Ops::Set(0),
                   Ops::Set(0), Ops::Set((64 + 20) * 8)};
        V a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) {
            V word = w[t & 15];
            if (t >= 16) {
                word = Ops::template Rotl<1>(
                    Ops::Xor(Ops::Xor(w[(t - 3) & 15], w[(t - 8) & 15]), Ops::Xor(w[(t - 14) & 15], word)));
                w[t & 15] = word;
            }
            V f;
            std::uint32_t k;
            if (t < 20) {
                f = Ops::Choose(b, c, d);
                k = 0x5a827999;
            } else if (t < 40) {
                f = Ops::Parity(b, c, d);
                k = 0x6ed9eba1;
            } else if (t < 60) {
                f = Ops::Majority(b, c, d);
                k = 0x8f1bbcdc;
            } else {
                f = Ops::Parity(b, c, d);
                k = 0xca62c1d6;
            }
            const V next =
                Ops::Add(Ops::Add(Ops::template Rotl<5>(a), f), Ops::Add(Ops::Add(e, Ops::Set(k)), word));
            e = d;
            d = c;
            c = Ops::template Rotl<30>(b);
            b = a;
            a = next;
        }
        out[0] = Ops::Add(h[0], a);
        out[1] = Ops::Add(h[1], b);
        out[2] = Ops::Add(h[2], c);
        out[3] = Ops::Add(h[3], d);
        out[4] = Ops::Add(h[4], e);
    }

    static void Run(const std::uint32_t inner[5], const std::uint32_t outer[5], Sha1ChainWords& words,
                    int rounds) {
        V hi[5], ho[5], u[5], t[5];
        for (int i = 0; i < 5; ++i) {
            hi[i] = Ops::Set(inner[i]);
            ho[i] = Ops::Set(outer[i]);
            u[i] = Ops::Load(words.u[i]);
            t[i] = Ops::Load(words.t[i]);
        }
        for (int round = 0; round < rounds; ++round) {
            V digest[5];
            Compress(hi, u, digest);
            Compress(ho, digest, u);
            for (int i = 0; i < 5; ++i) t[i] = Ops::Xor(t[i], u[i]);
        }
        for (int i = 0; i < 5; ++i) {
            Ops::Store(words.u[i], u[i]);
            Ops::Store(words.t[i], t[i]);
        }
    }
};

}  // namespace zov::rar::lanes
