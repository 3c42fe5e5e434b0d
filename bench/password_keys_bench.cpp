// Keys per second of the archiver's password derivation (PBKDF2-HMAC-SHA1, 1,000 rounds, 66 bytes per salt,
// as each encrypted entry needs) on one thread, each way this processor has against OpenSSL's own function,
// in turn in one run. Usage: password_keys_bench [salts per way, default 4096]
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tools/rar/Sha1Keys.h"
#include "tools/rar/Sha1Lanes.h"

namespace {

using zov::rar::PasswordKey;
using zov::rar::Sha1Lanes;

constexpr int kRounds = 1000;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kMaterialBytes = 66;
constexpr std::size_t kGroup = 64;  // salts handed to one call, as the archiver does

double Seconds(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t salts = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    const std::string password = "bench password";
    std::vector<unsigned char> salt(salts * kSaltBytes);
    std::vector<unsigned char> material(salts * kMaterialBytes);
    for (std::size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<unsigned char>(i * 131);

    const double openssl = Seconds([&] {
        for (std::size_t s = 0; s < salts; ++s) {
            PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), &salt[s * kSaltBytes],
                                   kSaltBytes, kRounds, kMaterialBytes, &material[s * kMaterialBytes]);
        }
    });
    std::printf("%-24s %9.0f keys/s\n", "OpenSSL PKCS5", salts / openssl);
    for (const auto& [name, lanes] :
         {std::pair{"one chain (SHA ext.)", Sha1Lanes::One}, std::pair{"8 lanes (AVX2)", Sha1Lanes::Avx2},
          std::pair{"16 lanes (AVX-512)", Sha1Lanes::Avx512}}) {
        if (!zov::rar::Supported(lanes)) {
            std::printf("%-24s not on this processor\n", name);
            continue;
        }
        const PasswordKey key(password, lanes);
        const double seconds = Seconds([&] {
            for (std::size_t begin = 0; begin < salts; begin += kGroup) {
                const std::size_t count = std::min(kGroup, salts - begin);
                const unsigned char* in[kGroup];
                unsigned char* out[kGroup];
                for (std::size_t i = 0; i < count; ++i) {
                    in[i] = &salt[(begin + i) * kSaltBytes];
                    out[i] = &material[(begin + i) * kMaterialBytes];
                }
                key.Derive(count, in, kSaltBytes, kRounds, out, kMaterialBytes);
            }
        });
        std::printf("%-24s %9.0f keys/s   %.2fx OpenSSL\n", name, salts / seconds, openssl / seconds);
    }
    return 0;
}
