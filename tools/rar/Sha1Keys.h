#pragma once

#include <openssl/sha.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace zov::rar {

// HMAC-SHA1 whose keyed inner and outer states are kept, so that each message costs only its own blocks
// and nothing is allocated: OpenSSL's HMAC and key derivation calls copy their digest contexts on the heap
// for every message, which for a key derivation of thousands of messages costs more than the hashing.
class HmacSha1 {
  public:
    static constexpr std::size_t kBytes = SHA_DIGEST_LENGTH;

    HmacSha1() = default;
    HmacSha1(const void* key, std::size_t length) { SetKey(key, length); }

    void SetKey(const void* key, std::size_t length);
    // Starts a message (the key stays).
    void Start() { message_ = inner_; }
    void Update(const void* data, std::size_t length);
    void Finish(unsigned char code[kBytes]);

    // The code of a message of exactly kBytes, for the rounds of a key derivation.
    void OfDigest(const unsigned char message[kBytes], unsigned char code[kBytes]) const;

  private:
    SHA_CTX inner_{};
    SHA_CTX outer_{};
    SHA_CTX message_{};
};

// PBKDF2-HMAC-SHA1 with one password for many salts. The password's states are made once; the object is
// read-only afterwards, so threads may share it.
class PasswordKey {
  public:
    explicit PasswordKey(const std::string& password) : hmac_(password.data(), password.size()) {}

    // length bytes of key material from salt in rounds rounds.
    void Derive(const unsigned char* salt, std::size_t saltLength, int rounds, unsigned char* out,
                std::size_t length) const;

  private:
    HmacSha1 hmac_;
};

}  // namespace zov::rar
