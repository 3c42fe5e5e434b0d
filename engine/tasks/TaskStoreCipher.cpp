#include "engine/tasks/TaskStoreCipher.h"

#include <array>
#include <cstdint>
#include <cstring>

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
// block. The zero byte is left out, as no store text holds it. An open-addressing table four times the
// size of its 255 entries: a lookup is a multiply and, nearly always, one comparison.
class TextBlocks {
  public:
    TextBlocks() {
        std::string bytes;
        for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
        const std::string blocks = EncipherStoreText(bytes);
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            const std::uint64_t block = BlockAt(blocks, k);
            std::size_t slot = SlotOf(block);
            while (bytes_[slot] != 0) slot = (slot + 1) % kSlots;
            blocks_[slot] = block;
            bytes_[slot] = bytes[k];
        }
    }

    // The text byte of block; 0 when it is no byte's cipher.
    char Find(std::uint64_t block) const {
        for (std::size_t slot = SlotOf(block);; slot = (slot + 1) % kSlots) {
            if (bytes_[slot] == 0 || blocks_[slot] == block) return bytes_[slot];
        }
    }

  private:
    static constexpr std::size_t kSlots = 1024;
    static std::size_t SlotOf(std::uint64_t block) { return (block * 0x9E3779B97F4A7C15ull) >> 54; }

    std::array<std::uint64_t, kSlots> blocks_{};
    std::array<char, kSlots> bytes_{};
};

}  // namespace

std::string EncipherStoreText(std::string_view text) { return CAES().EncryptText(text, kTaskStoreKey); }

bool DecipherStoreText(std::string_view bytes, std::string& text, std::string& why) {
    if (bytes.size() % kStoreBlockSize != 0) {
        return Refuse(why, "已损坏（长度 " + std::to_string(bytes.size()) + " 字节不是 " +
                               std::to_string(kStoreBlockSize) + " 的倍数）");
    }
    static const TextBlocks table;
    std::string read(bytes.size() / kStoreBlockSize, '\0');
    for (std::size_t k = 0; k < read.size(); ++k) {
        read[k] = table.Find(BlockAt(bytes, k));
        if (read[k] == 0) {
            return Refuse(why, "已损坏（第 " + std::to_string(k * kStoreBlockSize) + " 字节起的 " +
                                   std::to_string(kStoreBlockSize) + " 字节不是一个字符的密文）");
        }
    }
    text = std::move(read);
    return true;
}

}  // namespace zov
