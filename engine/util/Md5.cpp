#include "engine/util/Md5.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace zov {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

DigestContext NewMd5Context() {
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (context && EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) context.reset();
    return context;
}

std::string FinishHex(EVP_MD_CTX* context) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &size) != 1) return "";
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text + "\n";
}

}  // namespace

std::string Md5Hex(std::string_view data) {
    DigestContext context = NewMd5Context();
    if (!context || EVP_DigestUpdate(context.get(), data.data(), data.size()) != 1) return "";
    return FinishHex(context.get());
}

std::string StreamMd5Hex(std::FILE* stream) {
    if (stream == nullptr) return "";
    DigestContext context = NewMd5Context();
    if (!context) return "";
    std::array<char, 64 * 1024> block;
    std::size_t read = 0;
    while ((read = std::fread(block.data(), 1, block.size(), stream)) > 0) {
        if (EVP_DigestUpdate(context.get(), block.data(), read) != 1) return "";
    }
    if (std::ferror(stream) != 0) return "";
    return FinishHex(context.get());
}

std::string FileMd5Hex(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "";
    std::string digest = StreamMd5Hex(file);
    std::fclose(file);
    return digest;
}

bool FilesHaveSameDigest(const std::string& pathA, const std::string& pathB) {
    const std::string a = FileMd5Hex(pathA);
    return !a.empty() && a == FileMd5Hex(pathB);
}

}  // namespace zov
