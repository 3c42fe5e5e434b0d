#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zov {

// A DES-structured 64-bit block cipher in ECB mode: the DES tables and rounds, with the bits of a block
// and of the key numbered least significant first within each byte and one changed PC-2 entry. Only the
// first 8 bytes of the key text are used; missing key bytes count as zero.
class CAES {
  public:
    virtual ~CAES() = default;

    // One block per text byte: the byte spread into 8 bytes (byte j = bit j, 0 or 1), enciphered.
    // No padding, no terminator.
    std::string EncryptText(std::string_view text, std::string_view key) const;

    // Writes EncryptText of text to path. 1, or -3 when the file cannot be opened or written.
    int EncryptTextToFile(std::string_view text, std::string_view key, const std::string& path) const;

    // Deciphers path block by block (a trailing part shorter than 8 bytes is ignored) and ORs into
    // buffer[k] the bytes j = 0..7 of block k, each shifted left by j. The caller zeroes the buffer.
    // -3 when the file cannot be opened or read; 0 (buffer untouched) when the file holds more bytes
    // than size; otherwise 1.
    int DecryptFileToBuffer(const std::string& path, std::string_view key, char* buffer,
                            std::size_t size) const;

    // File to file; a final part of c = 1..7 bytes is padded with zeros up to byte 6 and byte 7 = 8 - c.
    // 1; -1 input not opened; -3 output not opened or not written.
    int EncryptFile(const std::string& input, std::string_view key, const std::string& output) const;

    // Reverses EncryptFile: of the last block only the first 8 - d bytes are written when its last byte d
    // is 1..7 and the bytes from 8 - d up to 6 are zero. 1; -3 input not opened; -1 output not opened or
    // not written.
    int DecryptFile(const std::string& input, std::string_view key, const std::string& output) const;
};

}  // namespace zov
