#include "engine/tasks/TaskStoreCipher.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "engine/tasks/Refusal.h"
#include "engine/util/Aes.h"

namespace zov {
namespace {

std::uint64_t BlockAt(std::string_view bytes, std::size_t index) {
    std::uint64_t block = 0;
    std::memcpy(&block, bytes.data() + index * kStoreBlockSize, kStoreBlockSize);
    return block;
}

// The text byte of every block the writer produces: without chaining a byte value always gives the same
// block. The zero byte is left out, as no store text holds it.
const std::unordered_map<std::uint64_t, char>& TextBlocks() {
    static const std::unordered_map<std::uint64_t, char> table = [] {
        std::string bytes;
        for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
        const std::string blocks = EncipherStoreText(bytes);
        std::unordered_map<std::uint64_t, char> byBlock;
        for (std::size_t k = 0; k < bytes.size(); ++k) byBlock.emplace(BlockAt(blocks, k), bytes[k]);
        return byBlock;
    }();
    return table;
}

}  // namespace

std::string EncipherStoreText(std::string_view text) { return CAES().EncryptText(text, kTaskStoreKey); }

bool DecipherStoreText(std::string_view bytes, std::string& text, std::string& why) {
    if (bytes.size() % kStoreBlockSize != 0) {
        return Refuse(why, "已损坏（长度 " + std::to_string(bytes.size()) + " 字节不是 " +
                               std::to_string(kStoreBlockSize) + " 的倍数）");
    }
    const auto& table = TextBlocks();
    std::string read(bytes.size() / kStoreBlockSize, '\0');
    for (std::size_t k = 0; k < read.size(); ++k) {
        const auto found = table.find(BlockAt(bytes, k));
        if (found == table.end()) {
            return Refuse(why, "已损坏（第 " + std::to_string(k * kStoreBlockSize) + " 字节起的 " +
                                   std::to_string(kStoreBlockSize) + " 字节不是一个字符的密文）");
        }
        read[k] = found->second;
    }
    text = std::move(read);
    return true;
}

}  // namespace zov
