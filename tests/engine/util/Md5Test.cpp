#include <gtest/gtest.h>

#include <filesystem>

#include "engine/util/Md5.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

struct Vector {
    std::string message, digest;
};

// RFC 1321, appendix A.5.
const Vector kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e\n"},
    {"a", "0cc175b9c0f1b6a831c399e269772661\n"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72\n"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0\n"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b\n"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f\n"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a\n"},
};

TEST(Md5, Rfc1321VectorsFromMemoryAndFiles) {
    test::TempProgramDir program;
    for (const Vector& v : kRfc1321) {
        EXPECT_EQ(Md5Hex(v.message), v.digest) << v.message;
        test::WriteFile(program / "message", v.message);
        EXPECT_EQ(FileMd5Hex(program / "message"), v.digest) << v.message;
    }
}

TEST(Md5, LargeFileIsReadToTheEnd) {
    test::TempProgramDir program;
    const std::string data(300000, 'z');
    test::WriteFile(program / "big", data);
    EXPECT_EQ(FileMd5Hex(program / "big"), Md5Hex(data));
    EXPECT_NE(FileMd5Hex(program / "big"), Md5Hex(data.substr(1)));
}

TEST(Md5, BackslashIsAnOrdinaryNameCharacter) {
    test::TempProgramDir program;
    test::WriteFile(program / "a\\b", "abc");
    EXPECT_EQ(FileMd5Hex(program / "a\\b"), "900150983cd24fb0d6963f7d28e17f72\n");
}

TEST(Md5, UnreadableFilesGiveNoDigestAndNeverCompareEqual) {
    test::TempProgramDir program;
    std::filesystem::create_directories(program / "folder");
    test::WriteFile(program / "one", "same");
    test::WriteFile(program / "two", "same");
    test::WriteFile(program / "three", "other");

    EXPECT_EQ(FileMd5Hex(program / "missing"), "");
    EXPECT_EQ(FileMd5Hex(program / "folder"), "");  // opens, but reading fails

    struct Case {
        std::string a, b;
        bool same;
    };
    const Case cases[] = {
        {"one", "two", true},        {"one", "three", false},   {"missing", "missing", false},
        {"folder", "folder", false}, {"one", "missing", false}, {"missing", "one", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilesHaveSameDigest(program / c.a, program / c.b), c.same) << c.a << " " << c.b;
}

}  // namespace
}  // namespace zov
