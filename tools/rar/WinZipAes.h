#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/rar/Sha1Keys.h"

namespace zov::rar {

// The keys of one WinZip AES-256 entry, derived from the password and the entry's own salt.
struct AesKeys {
    static constexpr std::size_t kSaltBytes = 16;
    static constexpr std::size_t kKeyBytes = 32;
    static constexpr std::size_t kCheckBytes = 2;
    unsigned char salt[kSaltBytes];
    unsigned char material[2 * kKeyBytes + kCheckBytes];  // cipher key, authentication key, password check

    const unsigned char* cipher() const { return material; }
    const unsigned char* mac() const { return material + kKeyBytes; }
    const unsigned char* check() const { return material + 2 * kKeyBytes; }
    // Whether the password check of an entry's header is the one these keys give.
    bool Fits(const char* header) const;
    // Appends the entry's header: the salt and the password check.
    void AppendHeader(std::vector<char>& out) const;

    // A fresh random salt; false when none could be made.
    bool NewSalt();
    ~AesKeys();
};

// PBKDF2-HMAC-SHA1, 1000 rounds: the material of count keys, each from the salt it holds, all at once.
void DeriveAesKeys(const PasswordKey& password, AesKeys* keys, std::size_t count);

// The keys of a job's entries: their salts are filled in one after the other, their material is derived at
// once, and they are taken in the same order and wiped when the job is done.
class KeyBatch {
  public:
    // Starts a job of up to parts entries.
    void Begin(std::size_t parts);
    // The next entry's keys, for its salt.
    AesKeys& Add();
    void Derive(const PasswordKey& password) { DeriveAesKeys(password, keys_.data(), added_); }
    // The keys added next after the ones taken so far.
    const AesKeys& Take() { return keys_[taken_++]; }
    void Wipe();

  private:
    std::vector<AesKeys> keys_;
    std::size_t parts_ = 0;
    std::size_t added_ = 0;
    std::size_t taken_ = 0;
};

// AES-256 in WinZip's counter mode (a little-endian counter from 1), from any offset into the entry's data,
// so that the blocks of one entry can be enciphered on several threads.
class AesCounterMode {
  public:
    AesCounterMode();
    ~AesCounterMode();
    AesCounterMode(const AesCounterMode&) = delete;
    AesCounterMode& operator=(const AesCounterMode&) = delete;

    // False when the cipher cannot be set up.
    bool SetKey(const unsigned char key[AesKeys::kKeyBytes], std::uint64_t offset = 0);
    // Enciphers or deciphers the next bytes in place.
    void Apply(char* data, std::size_t length);

  private:
    void NextKeyStream();

    EVP_CIPHER_CTX* cipher_ = nullptr;
    std::uint64_t counter_ = 0;
    unsigned char keyStream_[16] = {};
    std::size_t keyStreamUsed_ = sizeof keyStream_;
    std::vector<unsigned char> counters_;
    std::vector<unsigned char> stream_;
};

// WinZip AES-256 for one entry at a time: the entry's data is salt, password check, the encrypted bytes and
// the first 10 bytes of HMAC-SHA1 over the encrypted bytes.
class WinZipAes {
  public:
    static constexpr std::size_t kHeaderBytes = AesKeys::kSaltBytes + AesKeys::kCheckBytes;
    static constexpr std::size_t kTrailerBytes = 10;  // authentication code

    // Starts an entry with its keys: appends the salt and the password check to out. False when the cipher
    // cannot be set up.
    bool Start(const AesKeys& keys, std::vector<char>& out);
    // Starts reading an entry from its header (kHeaderBytes); false when the password does not fit it.
    bool Open(const PasswordKey& password, const char* header);
    // Starts an entry whose keys are known.
    bool Open(const AesKeys& keys);

    // Encrypts the next bytes of the entry in place and takes them into the authentication code.
    void Encrypt(char* data, std::size_t length);
    // Takes the next encrypted bytes into the authentication code and decrypts them in place.
    void Decrypt(char* data, std::size_t length);
    // Appends the authentication code to out.
    void Finish(std::vector<char>& out);
    // Whether the entry's stored code (kTrailerBytes) is the one its data gives.
    bool Authentic(const char* code);

  private:
    AesCounterMode cipher_;
    HmacSha1 mac_;
};

}  // namespace zov::rar
