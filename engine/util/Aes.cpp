#include "engine/util/Aes.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <utility>

namespace zov {
namespace {

// Tables of the DES standard; entries count bits from 1.
constexpr uint8_t kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kIpInverse[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                                    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                                    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                                    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

constexpr uint8_t kExpansion[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                                    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                                    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

constexpr uint8_t kPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                      2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                              35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                              46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

// The standard PC-2 except its 36th entry, 47 instead of 48.
constexpr uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 47, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

using Subkeys = std::array<uint64_t, 16>;

// Bit n (from 1) of a table's input is bit n - 1 of the integer; the output is numbered the same way.
uint64_t Permute(uint64_t input, const uint8_t* table, int count) {
    uint64_t output = 0;
    for (int i = 0; i < count; ++i) output |= ((input >> (table[i] - 1)) & 1u) << i;
    return output;
}

// Bit 8k + j + 1 of a block is bit j of byte k: the bytes read as a little-endian integer.
uint64_t LoadBlock(const unsigned char* bytes) {
    uint64_t block = 0;
    for (int k = 0; k < 8; ++k) block |= uint64_t{bytes[k]} << (8 * k);
    return block;
}

void StoreBlock(uint64_t block, unsigned char* bytes) {
    for (int k = 0; k < 8; ++k) bytes[k] = static_cast<unsigned char>(block >> (8 * k));
}

// Byte j of the block = bit j of c.
uint64_t SpreadByte(unsigned char c) {
    uint64_t block = 0;
    for (int j = 0; j < 8; ++j) block |= uint64_t{(c >> j) & 1u} << (8 * j);
    return block;
}

// OR of the bytes j of the block, each shifted left by j.
unsigned char GatherByte(uint64_t block) {
    unsigned char c = 0;
    for (int j = 0; j < 8; ++j) c |= static_cast<unsigned char>((block >> (8 * j)) << j);
    return c;
}

uint32_t RotateHalf(uint32_t half, int count) {
    constexpr uint32_t kMask = (1u << 28) - 1;
    return ((half >> count) | (half << (28 - count))) & kMask;
}

Subkeys MakeSubkeys(std::string_view key) {
    unsigned char bytes[8] = {};
    for (std::size_t k = 0; k < 8 && k < key.size(); ++k) bytes[k] = static_cast<unsigned char>(key[k]);
    const uint64_t halves = Permute(LoadBlock(bytes), kPc1, 56);
    uint32_t left = static_cast<uint32_t>(halves & ((1u << 28) - 1));
    uint32_t right = static_cast<uint32_t>(halves >> 28);
    Subkeys subkeys;
    for (int round = 0; round < 16; ++round) {
        left = RotateHalf(left, kRotations[round]);
        right = RotateHalf(right, kRotations[round]);
        subkeys[round] = Permute(left | (uint64_t{right} << 28), kPc2, 48);
    }
    return subkeys;
}

uint32_t Feistel(uint32_t half, uint64_t subkey) {
    const uint64_t mixed = Permute(half, kExpansion, 48) ^ subkey;
    uint32_t substituted = 0;
    for (int box = 0; box < 8; ++box) {
        const auto bit = [&](int b) { return static_cast<int>((mixed >> (6 * box + b - 1)) & 1u); };
        const int row = 2 * bit(1) + bit(6);
        const int column = 8 * bit(2) + 4 * bit(3) + 2 * bit(4) + bit(5);
        const uint32_t value = kSBoxes[box][16 * row + column];
        for (int b = 0; b < 4; ++b) substituted |= ((value >> (3 - b)) & 1u) << (4 * box + b);
    }
    return static_cast<uint32_t>(Permute(substituted, kPermutation, 32));
}

uint64_t CryptBlock(uint64_t block, const Subkeys& subkeys, bool decrypt) {
    const uint64_t permuted = Permute(block, kIp, 64);
    uint32_t left = static_cast<uint32_t>(permuted);
    uint32_t right = static_cast<uint32_t>(permuted >> 32);
    for (int round = 0; round < 16; ++round) {
        left ^= Feistel(right, subkeys[decrypt ? 15 - round : round]);
        if (round < 15) std::swap(left, right);
    }
    return Permute(left | (uint64_t{right} << 32), kIpInverse, 64);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

// Closes a file that was written to; false when a write or the close failed.
bool CloseWritten(File file) {
    const bool written = std::ferror(file.get()) == 0;
    return std::fclose(file.release()) == 0 && written;
}

}  // namespace

std::string CAES::EncryptText(std::string_view text, std::string_view key) const {
    const Subkeys subkeys = MakeSubkeys(key);
    // Without chaining a byte always gives the same block: encipher each byte value once.
    std::array<uint64_t, 256> blocks{};
    std::bitset<256> known;
    std::string output(text.size() * 8, '\0');
    auto* out = reinterpret_cast<unsigned char*>(output.data());
    for (unsigned char c : text) {
        if (!known[c]) {
            blocks[c] = CryptBlock(SpreadByte(c), subkeys, false);
            known.set(c);
        }
        StoreBlock(blocks[c], out);
        out += 8;
    }
    return output;
}

int CAES::EncryptTextToFile(std::string_view text, std::string_view key, const std::string& path) const {
    File file = OpenFile(path, "wb");
    if (!file) return -3;
    const std::string blocks = EncryptText(text, key);
    std::fwrite(blocks.data(), 1, blocks.size(), file.get());
    return CloseWritten(std::move(file)) ? 1 : -3;
}

int CAES::DecryptFileToBuffer(const std::string& path, std::string_view key, char* buffer,
                              std::size_t size) const {
    File file = OpenFile(path, "rb");
    if (!file) return -3;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return -3;
    const long length = std::ftell(file.get());
    if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return -3;
    if (static_cast<unsigned long>(length) > size) return 0;

    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return -3;

    const Subkeys subkeys = MakeSubkeys(key);
    std::unordered_map<uint64_t, unsigned char> decrypted;  // store files repeat few distinct blocks
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t k = 0; k < bytes.size() / 8; ++k) {
        const uint64_t block = LoadBlock(in + 8 * k);
        auto found = decrypted.find(block);
        if (found == decrypted.end()) {
            found = decrypted.emplace(block, GatherByte(CryptBlock(block, subkeys, true))).first;
        }
        buffer[k] = static_cast<char>(static_cast<unsigned char>(buffer[k]) | found->second);
    }
    return 1;
}

int CAES::EncryptFile(const std::string& input, std::string_view key, const std::string& output) const {
    File in = OpenFile(input, "rb");
    if (!in) return -1;
    File out = OpenFile(output, "wb");
    if (!out) return -3;
    const Subkeys subkeys = MakeSubkeys(key);
    unsigned char block[8];
    for (;;) {
        const std::size_t count = std::fread(block, 1, 8, in.get());
        if (count == 0) break;
        if (count < 8) {
            std::fill(block + count, block + 7, 0);
            block[7] = static_cast<unsigned char>(8 - count);
        }
        StoreBlock(CryptBlock(LoadBlock(block), subkeys, false), block);
        std::fwrite(block, 1, 8, out.get());
        if (count < 8) break;
    }
    if (std::ferror(in.get())) return -1;
    return CloseWritten(std::move(out)) ? 1 : -3;
}

int CAES::DecryptFile(const std::string& input, std::string_view key, const std::string& output) const {
    File in = OpenFile(input, "rb");
    if (!in) return -3;
    File out = OpenFile(output, "wb");
    if (!out) return -1;
    const Subkeys subkeys = MakeSubkeys(key);
    unsigned char block[8];
    unsigned char pending[8];
    bool havePending = false;
    while (std::fread(block, 1, 8, in.get()) == 8) {
        if (havePending) std::fwrite(pending, 1, 8, out.get());
        StoreBlock(CryptBlock(LoadBlock(block), subkeys, true), pending);
        havePending = true;
    }
    if (havePending) {
        std::size_t keep = 8;
        const unsigned char padding = pending[7];
        if (padding >= 1 && padding <= 7) {
            const bool zeros =
                std::all_of(pending + 8 - padding, pending + 7, [](unsigned char b) { return b == 0; });
            if (zeros) keep = 8u - padding;
        }
        std::fwrite(pending, 1, keep, out.get());
    }
    if (std::ferror(in.get())) return -3;
    return CloseWritten(std::move(out)) ? 1 : -1;
}

}  // namespace zov
