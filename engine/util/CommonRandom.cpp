#include "engine/util/CommonRandom.h"

#include <mutex>
#include <random>
#include <string_view>

namespace zov {

namespace {

std::mutex& GeneratorMutex() {
    static std::mutex mutex;
    return mutex;
}

// Call with GeneratorMutex held.
std::mt19937_64& Generator() {
    static std::mt19937_64 generator = [] {
        std::random_device entropy;
        std::seed_seq seed{entropy(), entropy(), entropy(), entropy(),
                           entropy(), entropy(), entropy(), entropy()};
        return std::mt19937_64(seed);
    }();
    return generator;
}

// Call with GeneratorMutex held.
int DrawBelow(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Generator()); }

// Call with GeneratorMutex held.
std::string DrawFrom(std::string_view alphabet, std::size_t length) {
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) text += alphabet[DrawBelow(static_cast<int>(alphabet.size()))];
    return text;
}

constexpr std::string_view kTokenAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kNameAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kDigits = "0123456789";
constexpr int kTokenAttempts = 1001;

}  // namespace

int RandomBelow(int n) {
    if (n <= 0) return -1;
    std::lock_guard lock(GeneratorMutex());
    return DrawBelow(n);
}

std::string MakeRandomToken(std::size_t length) {
    static std::string lastToken;
    std::lock_guard lock(GeneratorMutex());
    for (int attempt = 0; attempt < kTokenAttempts; ++attempt) {
        std::string token = DrawFrom(kTokenAlphabet, length);
        if (token != lastToken) {
            lastToken = token;
            return token;
        }
    }
    return lastToken + "EX";
}

std::string MakeRandomName(std::size_t length, bool digitsOnly) {
    std::lock_guard lock(GeneratorMutex());
    return DrawFrom(digitsOnly ? kDigits : kNameAlphabet, length);
}

}  // namespace zov
