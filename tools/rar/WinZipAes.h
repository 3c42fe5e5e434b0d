#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zov::rar {

// WinZip AES-256 for one entry at a time: keys from the password and a fresh random salt (PBKDF2-HMAC-SHA1,
// 1000 rounds), AES in counter mode with a little-endian counter from 1, and HMAC-SHA1 over the encrypted
// bytes. The entry's data is salt, password check, the encrypted bytes and the first 10 bytes of the HMAC.
class WinZipAes {
  public:
    static constexpr std::size_t kHeaderBytes = 16 + 2;  // salt and password check
    static constexpr std::size_t kTrailerBytes = 10;     // authentication code

    WinZipAes();
    ~WinZipAes();
    WinZipAes(const WinZipAes&) = delete;
    WinZipAes& operator=(const WinZipAes&) = delete;

    // Starts an entry: appends the salt and the password check to out. False when no keys could be made.
    bool Start(const std::string& password, std::vector<char>& out);
    // Encrypts the next bytes of the entry in place and takes them into the authentication code.
    void Encrypt(char* data, std::size_t length);
    // Appends the authentication code to out.
    void Finish(std::vector<char>& out);

  private:
    void NextKeyStream();

    EVP_CIPHER_CTX* cipher_ = nullptr;
    EVP_MAC* mac_ = nullptr;
    EVP_MAC_CTX* macContext_ = nullptr;
    std::uint64_t counter_ = 0;
    unsigned char keyStream_[16] = {};
    std::size_t keyStreamUsed_ = sizeof keyStream_;
    std::vector<unsigned char> counters_;
    std::vector<unsigned char> stream_;
};

}  // namespace zov::rar
