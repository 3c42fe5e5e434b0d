#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// MD5 digests (RFC 1321) as 32 lowercase hexadecimal digits followed by "\n".
namespace zov {

std::string Md5Hex(std::string_view data);
// Reads the stream to its end; "" on a read error.
std::string StreamMd5Hex(std::FILE* stream);
// "" when the file cannot be opened or read: a failure, never a digest.
std::string FileMd5Hex(const std::string& path);

// True only when both files were read and their digests are equal; two unreadable files are not equal.
bool FilesHaveSameDigest(const std::string& pathA, const std::string& pathB);

}  // namespace zov
