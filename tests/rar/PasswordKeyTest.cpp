// The archiver's key derivation against OpenSSL's, for every way this processor can hash it.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <ostream>
#include <string>
#include <vector>

#include "tools/rar/Sha1Keys.h"
#include "tools/rar/Sha1Lanes.h"

namespace zov::rar {

std::string NameOf(Sha1Lanes lanes) {
    switch (lanes) {
        case Sha1Lanes::One:
            return "OneChain";
        case Sha1Lanes::Avx2:
            return "Avx2";
        case Sha1Lanes::Avx512:
            return "Avx512";
    }
    return "Unknown";
}

void PrintTo(Sha1Lanes lanes, std::ostream* out) { *out << NameOf(lanes); }

namespace {

struct DerivationCase {
    std::size_t passwordBytes;  // 0, within one block, exactly one block, hashed first
    std::size_t salts;          // fewer than, as many as and more than the lanes hold
    std::size_t length;         // material per salt: part of one chain, several
    int rounds;
};

std::vector<unsigned char> Expected(const std::string& password, const std::vector<unsigned char>& salt,
                                    int rounds, std::size_t length) {
    std::vector<unsigned char> out(length);
    EXPECT_EQ(
        PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                               static_cast<int>(salt.size()), rounds, static_cast<int>(length), out.data()),
        1);
    return out;
}

class PasswordKeyTest : public ::testing::TestWithParam<Sha1Lanes> {};

TEST_P(PasswordKeyTest, EverySaltGetsOpenSslsMaterial) {
    if (!Supported(GetParam())) GTEST_SKIP() << "this processor lacks the instructions";
    const DerivationCase cases[] = {
        {0, 1, 66, 1000}, {11, 7, 66, 1000}, {64, 16, 20, 2},     {65, 17, 41, 1000},
        {200, 64, 66, 3}, {9, 33, 1, 1},     {30, 100, 66, 1000},
    };
    for (const DerivationCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.passwordBytes << "-byte password, " << c.salts << " salts, "
                                        << c.length << " bytes, " << c.rounds << " rounds");
        std::string password;
        for (std::size_t i = 0; i < c.passwordBytes; ++i) password += static_cast<char>(i * 37 + 1);
        std::vector<std::vector<unsigned char>> salts(c.salts, std::vector<unsigned char>(16));
        std::vector<std::vector<unsigned char>> outs(c.salts, std::vector<unsigned char>(c.length));
        std::vector<const unsigned char*> saltPointers;
        std::vector<unsigned char*> outPointers;
        for (std::size_t s = 0; s < c.salts; ++s) {
            for (std::size_t i = 0; i < 16; ++i) salts[s][i] = static_cast<unsigned char>(s * 131 + i * 7);
            saltPointers.push_back(salts[s].data());
            outPointers.push_back(outs[s].data());
        }
        const PasswordKey key(password, GetParam());
        key.Derive(c.salts, saltPointers.data(), 16, c.rounds, outPointers.data(), c.length);
        for (std::size_t s = 0; s < c.salts; ++s) {
            EXPECT_EQ(outs[s], Expected(password, salts[s], c.rounds, c.length)) << "salt " << s;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, PasswordKeyTest,
                         ::testing::Values(Sha1Lanes::One, Sha1Lanes::Avx2, Sha1Lanes::Avx512),
                         [](const ::testing::TestParamInfo<Sha1Lanes>& info) { return NameOf(info.param); });

}  // namespace
}  // namespace zov::rar
