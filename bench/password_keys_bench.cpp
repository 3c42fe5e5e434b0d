// The archiver's password keys (PBKDF2-HMAC-SHA1, 1,000 rounds, 66 bytes per salt, as each encrypted entry
// needs) against OpenSSL's PKCS5_PBKDF2_HMAC_SHA1 and nettle's pbkdf2_hmac_sha1, on one thread and on every
// core. Each run times every way once, in an order rotated from run to run, and checks that every way made
// the same keys as OpenSSL. Prints, per way of the archiver and peer: min/median seconds of each, keys per
// second at the median, the ratio of the medians (and minimums), the runs and the load before and after.
// Usage: password_keys_bench [salts, default 4096] [runs, default 5]
#include <nettle/pbkdf2.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
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

const std::string kPassword = "bench password";

// Derives the keys of salts [begin, end) into material.
using Way = std::function<void(const unsigned char* salt, unsigned char* material, std::size_t begin,
                               std::size_t end)>;

void OpenSsl(const unsigned char* salt, unsigned char* material, std::size_t begin, std::size_t end) {
    for (std::size_t s = begin; s < end; ++s) {
        PKCS5_PBKDF2_HMAC_SHA1(kPassword.data(), static_cast<int>(kPassword.size()), &salt[s * kSaltBytes],
                               kSaltBytes, kRounds, kMaterialBytes, &material[s * kMaterialBytes]);
    }
}

void Nettle(const unsigned char* salt, unsigned char* material, std::size_t begin, std::size_t end) {
    for (std::size_t s = begin; s < end; ++s) {
        pbkdf2_hmac_sha1(kPassword.size(), reinterpret_cast<const std::uint8_t*>(kPassword.data()), kRounds,
                         kSaltBytes, &salt[s * kSaltBytes], kMaterialBytes, &material[s * kMaterialBytes]);
    }
}

Way Ours(const PasswordKey& key) {
    return [&key](const unsigned char* salt, unsigned char* material, std::size_t begin, std::size_t end) {
        for (std::size_t first = begin; first < end; first += kGroup) {
            const std::size_t count = std::min(kGroup, end - first);
            const unsigned char* in[kGroup];
            unsigned char* out[kGroup];
            for (std::size_t i = 0; i < count; ++i) {
                in[i] = &salt[(first + i) * kSaltBytes];
                out[i] = &material[(first + i) * kMaterialBytes];
            }
            key.Derive(count, in, kSaltBytes, kRounds, out, kMaterialBytes);
        }
    };
}

// Seconds for all salts, split evenly over that many threads.
double Timed(const Way& way, const std::vector<unsigned char>& salt, std::vector<unsigned char>& material,
             std::size_t salts, unsigned threads) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back(way, salt.data(), material.data(), salts * t / threads,
                             salts * (t + 1) / threads);
    }
    for (auto& worker : workers) worker.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Load() {
    std::ifstream file("/proc/loadavg");
    std::string one;
    file >> one;
    return one;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Least(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

struct Named {
    std::string name;
    Way way;
    bool ours;
    std::vector<double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    const std::size_t salts = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<unsigned char> salt(salts * kSaltBytes);
    for (std::size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<unsigned char>(i * 131 + i / 7);
    std::vector<unsigned char> expected(salts * kMaterialBytes);
    OpenSsl(salt.data(), expected.data(), 0, salts);

    std::vector<std::unique_ptr<PasswordKey>> keys;
    std::vector<Named> ways{{"OpenSSL PKCS5_PBKDF2_HMAC_SHA1", OpenSsl, false, {}},
                            {"nettle pbkdf2_hmac_sha1", Nettle, false, {}}};
    for (const auto& [name, lanes] :
         {std::pair{"one chain (SHA ext.)", Sha1Lanes::One}, std::pair{"8 lanes (AVX2)", Sha1Lanes::Avx2},
          std::pair{"16 lanes (AVX-512)", Sha1Lanes::Avx512}}) {
        if (!zov::rar::Supported(lanes)) {
            std::printf("%-28s not on this processor\n", name);
            continue;
        }
        keys.push_back(std::make_unique<PasswordKey>(kPassword, lanes));
        ways.push_back({std::string("ours, ") + name + (lanes == zov::rar::FastestSha1Lanes() ? " *" : ""),
                        Ours(*keys.back()),
                        true,
                        {}});
    }

    std::vector<unsigned char> material(salts * kMaterialBytes);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("%zu salts, %d runs; * marks the way the archiver takes on this processor\n", salts, runs);
    for (const unsigned threads : {1u, cores}) {
        for (auto& way : ways) way.seconds.clear();
        const std::string before = Load();
        for (int run = 0; run < runs; ++run) {
            for (std::size_t i = 0; i < ways.size(); ++i) {
                Named& way = ways[(i + static_cast<std::size_t>(run)) % ways.size()];
                std::fill(material.begin(), material.end(), 0);
                way.seconds.push_back(Timed(way.way, salt, material, salts, threads));
                if (material != expected) {
                    std::fprintf(stderr, "%s made other keys than OpenSSL\n", way.name.c_str());
                    return 1;
                }
            }
        }
        const std::string load = before + " -> " + Load();
        for (const Named& ours : ways) {
            if (!ours.ours) continue;
            for (const Named& peer : ways) {
                if (peer.ours) continue;
                const double mine = Median(ours.seconds);
                const double theirs = Median(peer.seconds);
                std::printf(
                    "%u thread%s, %-24s vs %-30s ours %6.3f/%6.3f s %8.0f keys/s  peer %6.3f/%6.3f s "
                    "%8.0f keys/s  ratio %5.2f (min %5.2f)  runs %d  load %s\n",
                    threads, threads == 1 ? " " : "s", ours.name.c_str(), peer.name.c_str(),
                    Least(ours.seconds), mine, salts / mine, Least(peer.seconds), theirs, salts / theirs,
                    mine / theirs, Least(ours.seconds) / Least(peer.seconds), runs, load.c_str());
            }
        }
    }
    return 0;
}
