#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::ReadFile;
using test::TempProgramDir;
using test::WriteFile;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += static_cast<char>(v);
    return bytes;
}

std::string ReverseBitsOfEachByte(std::string bytes) {
    for (char& c : bytes) {
        unsigned char reversed = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if ((static_cast<unsigned char>(c) >> bit) & 1u)
                reversed |= static_cast<unsigned char>(0x80u >> bit);
        }
        c = static_cast<char>(reversed);
    }
    return bytes;
}

// Standard DES (ECB, no padding) from OpenSSL's legacy provider.
class StandardDes {
  public:
    StandardDes() {
        context_ = OSSL_LIB_CTX_new();
        legacy_ = OSSL_PROVIDER_load(context_, "legacy");
        default_ = OSSL_PROVIDER_load(context_, "default");
        if (legacy_ && default_) cipher_ = EVP_CIPHER_fetch(context_, "DES-ECB", nullptr);
    }
    ~StandardDes() {
        EVP_CIPHER_free(cipher_);
        if (default_) OSSL_PROVIDER_unload(default_);
        if (legacy_) OSSL_PROVIDER_unload(legacy_);
        OSSL_LIB_CTX_free(context_);
    }
    bool available() const { return cipher_ != nullptr; }

    std::string Encrypt(const std::string& blocks, const std::string& key) const {
        std::string out(blocks.size() + 8, '\0');
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        int written = 0;
        EVP_EncryptInit_ex(ctx, cipher_, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                           nullptr);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &written,
                          reinterpret_cast<const unsigned char*>(blocks.data()),
                          static_cast<int>(blocks.size()));
        EVP_CIPHER_CTX_free(ctx);
        out.resize(static_cast<std::size_t>(written));
        return out;
    }

  private:
    OSSL_LIB_CTX* context_ = nullptr;
    OSSL_PROVIDER* legacy_ = nullptr;
    OSSL_PROVIDER* default_ = nullptr;
    EVP_CIPHER* cipher_ = nullptr;
};

class AesTest : public ::testing::Test {
  protected:
    // Raw ECB blocks: a file of whole blocks gets no padding.
    std::string EncryptBlocks(const std::string& blocks, const std::string& key) {
        WriteFile(dir_ / "plain", blocks);
        EXPECT_EQ(aes_.EncryptFile(dir_ / "plain", key, dir_ / "cipher"), 1);
        return ReadFile(dir_ / "cipher");
    }

    std::string RandomBytes(std::size_t count) {
        std::string bytes(count, '\0');
        for (char& c : bytes) c = static_cast<char>(random_() & 0xFF);
        return bytes;
    }

    TempProgramDir dir_;
    CAES aes_;
    std::mt19937 random_{20240501};
};

// Checked against a separate bit-list implementation of the rounds; task.db files depend on these bytes.
TEST_F(AesTest, PinnedStoreKeyVector) {
    EXPECT_EQ(aes_.EncryptText("<S", kTaskStoreKey),
              Bytes({0xE9, 0xD5, 0xBD, 0x38, 0x94, 0x9B, 0x08, 0x0D,  //
                     0xE9, 0xAD, 0x04, 0x33, 0x0F, 0x5B, 0x84, 0xBA}));
}

TEST_F(AesTest, IsDesWithLeastSignificantBitFirstWhenThePc2EntryCannotMatter) {
    StandardDes des;
    if (!des.available()) GTEST_SKIP() << "OpenSSL legacy DES not available";
    // With every key bit equal, all subkey bits are equal, so the changed PC-2 entry picks the same bit.
    const std::string keys[] = {std::string(8, '\x00'), std::string(8, '\xFF'), std::string(8, '\x80'),
                                std::string(8, '\x7F')};
    const std::string plain = RandomBytes(8 * 64);
    for (const std::string& key : keys) {
        const std::string expected =
            ReverseBitsOfEachByte(des.Encrypt(ReverseBitsOfEachByte(plain), ReverseBitsOfEachByte(key)));
        EXPECT_EQ(EncryptBlocks(plain, key), expected);
    }
}

TEST_F(AesTest, DiffersFromStandardDesWithTheStoreKey) {
    StandardDes des;
    if (!des.available()) GTEST_SKIP() << "OpenSSL legacy DES not available";
    const std::string key(kTaskStoreKey, 8);
    const std::string plain = RandomBytes(8 * 16);
    const std::string ours = EncryptBlocks(plain, key);
    const std::string standard = des.Encrypt(plain, key);
    // Least significant bit first alone does not explain the blocks: the PC-2 entry changes every one.
    const std::string reversed =
        ReverseBitsOfEachByte(des.Encrypt(ReverseBitsOfEachByte(plain), ReverseBitsOfEachByte(key)));
    for (std::size_t at = 0; at < plain.size(); at += 8) {
        EXPECT_NE(ours.substr(at, 8), standard.substr(at, 8)) << at;
        EXPECT_NE(ours.substr(at, 8), reversed.substr(at, 8)) << at;
    }
}

TEST_F(AesTest, TextBlocksAreOnePerByteWithoutChaining) {
    EXPECT_EQ(aes_.EncryptText("", kTaskStoreKey), "");
    ASSERT_EQ(aes_.EncryptTextToFile("", kTaskStoreKey, dir_ / "empty.db"), 1);
    EXPECT_TRUE(ReadFile(dir_ / "empty.db").empty());

    const std::string text = "<ID>1</ID>任务";
    const std::string blocks = aes_.EncryptText(text, kTaskStoreKey);
    ASSERT_EQ(blocks.size(), 8 * text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        EXPECT_EQ(blocks.substr(8 * i, 8), aes_.EncryptText(text.substr(i, 1), kTaskStoreKey)) << i;
    }
    // Both 'I's and both 'D's give equal blocks; '<' and '>' do not.
    EXPECT_EQ(blocks.substr(8 * 1, 8), blocks.substr(8 * 7, 8));
    EXPECT_EQ(blocks.substr(8 * 2, 8), blocks.substr(8 * 8, 8));
    EXPECT_NE(blocks.substr(0, 8), blocks.substr(8 * 3, 8));
    // Only the first 8 key bytes count.
    EXPECT_EQ(aes_.EncryptText(text, "Nq4vWx8Lzzzzzzzz"), blocks);
}

TEST_F(AesTest, EveryByteValueRoundTripsThroughTheTextRoutines) {
    std::string text;
    for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
    ASSERT_EQ(aes_.EncryptTextToFile(text, kTaskStoreKey, dir_ / "all.db"), 1);
    EXPECT_EQ(ReadFile(dir_ / "all.db").size(), 8 * text.size());

    std::vector<char> buffer(8 * text.size(), '\0');
    ASSERT_EQ(aes_.DecryptFileToBuffer(dir_ / "all.db", kTaskStoreKey, buffer.data(), buffer.size()), 1);
    EXPECT_EQ(std::string(buffer.data(), text.size()), text);
    EXPECT_EQ(std::string(buffer.data() + text.size(), buffer.size() - text.size()),
              std::string(buffer.size() - text.size(), '\0'));
}

TEST_F(AesTest, DecryptFileToBufferLimitsAndOrSemantics) {
    ASSERT_EQ(aes_.EncryptTextToFile("abc", kTaskStoreKey, dir_ / "t.db"), 1);

    std::vector<char> small(23, '\x55');
    EXPECT_EQ(aes_.DecryptFileToBuffer(dir_ / "t.db", kTaskStoreKey, small.data(), small.size()), 0);
    EXPECT_EQ(small, std::vector<char>(23, '\x55'));

    // A file exactly as large as the buffer is read; bits already set stay set.
    std::vector<char> exact(24, '\0');
    exact[0] = '\x80';
    exact[3] = 'z';
    ASSERT_EQ(aes_.DecryptFileToBuffer(dir_ / "t.db", kTaskStoreKey, exact.data(), exact.size()), 1);
    EXPECT_EQ(static_cast<unsigned char>(exact[0]), 'a' | 0x80);
    EXPECT_EQ(std::string(exact.data() + 1, 3), "bcz");

    // A trailing part shorter than a block is ignored.
    WriteFile(dir_ / "tail.db", ReadFile(dir_ / "t.db") + "12345");
    std::vector<char> buffer(64, '\0');
    ASSERT_EQ(aes_.DecryptFileToBuffer(dir_ / "tail.db", kTaskStoreKey, buffer.data(), buffer.size()), 1);
    EXPECT_EQ(std::string(buffer.data()), "abc");

    EXPECT_EQ(aes_.DecryptFileToBuffer(dir_ / "missing.db", kTaskStoreKey, buffer.data(), buffer.size()), -3);
    EXPECT_EQ(aes_.EncryptTextToFile("abc", kTaskStoreKey, dir_ / "no/such/folder/t.db"), -3);
}

TEST_F(AesTest, FileRoutinesRoundTripEveryLengthAndByte) {
    for (std::size_t length = 0; length <= 17; ++length) {
        std::string plain;
        for (std::size_t i = 0; i < length; ++i) plain += static_cast<char>(0xFF - i);
        WriteFile(dir_ / "in", plain);
        ASSERT_EQ(aes_.EncryptFile(dir_ / "in", kTaskStoreKey, dir_ / "enc"), 1);
        EXPECT_EQ(ReadFile(dir_ / "enc").size(), (length + 7) / 8 * 8) << length;
        ASSERT_EQ(aes_.DecryptFile(dir_ / "enc", kTaskStoreKey, dir_ / "dec"), 1);
        EXPECT_EQ(ReadFile(dir_ / "dec"), plain) << length;
    }

    std::string every;
    for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
    every += "tail";
    WriteFile(dir_ / "in", every);
    ASSERT_EQ(aes_.EncryptFile(dir_ / "in", kTaskStoreKey, dir_ / "enc"), 1);
    ASSERT_EQ(aes_.DecryptFile(dir_ / "enc", kTaskStoreKey, dir_ / "dec"), 1);
    EXPECT_EQ(ReadFile(dir_ / "dec"), every);
}

TEST_F(AesTest, FilePadding) {
    // c bytes (1..7) are padded with zeros up to byte 6 and 8 - c in byte 7.
    WriteFile(dir_ / "in",
              "abcdefgh"
              "xyz");
    ASSERT_EQ(aes_.EncryptFile(dir_ / "in", kTaskStoreKey, dir_ / "enc"), 1);
    const std::string padded = "xyz" + std::string(4, '\0') + "\x05";
    EXPECT_EQ(ReadFile(dir_ / "enc"), EncryptBlocks("abcdefgh" + padded, kTaskStoreKey));

    struct Case {
        std::string plain;  // a whole number of blocks, written without padding
        std::string decrypted;
    };
    const Case cases[] = {
        // A plain text that looks padded loses its tail.
        {"abcdefgh" + std::string("ab\0\0\0\0\0\x06", 8), "abcdefghab"},
        {std::string("1234567\x01", 8), "1234567"},
        {std::string("\0\0\0\0\0\0\0\x07", 8), std::string(1, '\0')},
        // Not padding: a non-zero byte inside the run, a last byte of 0 or 8, padding only in an earlier
        // block.
        {std::string("ab\0\0\x01\0\0\x06", 8), std::string("ab\0\0\x01\0\0\x06", 8)},
        {std::string("abcdefg\0", 8), std::string("abcdefg\0", 8)},
        {std::string("abcdefg\x08", 8), std::string("abcdefg\x08", 8)},
        {std::string("1234567\x01"
                     "abcdefgh",
                     16),
         std::string("1234567\x01"
                     "abcdefgh",
                     16)},
    };
    for (const Case& c : cases) {
        WriteFile(dir_ / "enc", EncryptBlocks(c.plain, kTaskStoreKey));
        ASSERT_EQ(aes_.DecryptFile(dir_ / "enc", kTaskStoreKey, dir_ / "dec"), 1);
        EXPECT_EQ(ReadFile(dir_ / "dec"), c.decrypted);
    }
}

TEST_F(AesTest, FileRoutineResults) {
    WriteFile(dir_ / "in", "data");
    EXPECT_EQ(aes_.EncryptFile(dir_ / "missing", kTaskStoreKey, dir_ / "out"), -1);
    EXPECT_EQ(aes_.EncryptFile(dir_ / "in", kTaskStoreKey, dir_ / "no/folder/out"), -3);
    EXPECT_EQ(aes_.DecryptFile(dir_ / "missing", kTaskStoreKey, dir_ / "out"), -3);
    EXPECT_EQ(aes_.DecryptFile(dir_ / "in", kTaskStoreKey, dir_ / "no/folder/out"), -1);
}

}  // namespace
}  // namespace zov
