#pragma once

#include <openssl/sha.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/rar/Sha1Lanes.h"

namespace zov::rar {

// HMAC-SHA1 whose keyed inner and outer states are kept, so that each message costs only its own blocks
// and nothing is allocated: OpenSSL's HMAC and key derivation calls copy their digest contexts on the heap
// for every message, which for a key derivation of thousands of messages costs more than the hashing.
class HmacSha1 {
  public:
    static constexpr std::size_t kBytes = SHA_DIGEST_LENGTH;

    HmacSha1() = default;
    HmacSha1(const void* key, std::size_t length) { SetKey(key, length); }
    HmacSha1(const HmacSha1&) = default;
    HmacSha1& operator=(const HmacSha1&) = default;
    // The keyed states stand for the key: they are wiped.
    ~HmacSha1();

    void SetKey(const void* key, std::size_t length);
    // Starts a message (the key stays).
    void Start() { message_ = inner_; }
    void Update(const void* data, std::size_t length);
    void Finish(unsigned char code[kBytes]);

    // The states after the key's inner and outer block, as words.
    void KeyStates(std::uint32_t inner[5], std::uint32_t outer[5]) const;

  private:
    SHA_CTX inner_{};
    SHA_CTX outer_{};
    SHA_CTX message_{};
};

// PBKDF2-HMAC-SHA1 with one password for many salts. The password's states are made once; the object is
// read-only afterwards, so threads may share it.
class PasswordKey {
  public:
    // lanes: how the rounds are hashed (FastestSha1Lanes unless a test chooses).
    explicit PasswordKey(const std::string& password, Sha1Lanes lanes = FastestSha1Lanes());
    PasswordKey(const PasswordKey&) = delete;
    PasswordKey& operator=(const PasswordKey&) = delete;
    ~PasswordKey();

    // length bytes of key material for each of count salts (saltLength bytes each) into outs, in rounds
    // rounds. The chains of all salts are hashed side by side, as many at once as the lanes hold.
    void Derive(std::size_t count, const unsigned char* const salts[], std::size_t saltLength, int rounds,
                unsigned char* const outs[], std::size_t length) const;
    // One salt.
    void Derive(const unsigned char* salt, std::size_t saltLength, int rounds, unsigned char* out,
                std::size_t length) const {
        Derive(1, &salt, saltLength, rounds, &out, length);
    }

  private:
    HmacSha1 hmac_;
    Sha1Lanes lanes_;
    std::uint32_t inner_[5] = {};
    std::uint32_t outer_[5] = {};
};

}  // namespace zov::rar
