#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "tools/rar/Sha1Keys.h"
#include "tools/rar/WinZipAes.h"

namespace zov::rar {

// One large encrypted entry whose blocks are enciphered on several threads: its keys, where each block's
// encrypted bytes lie in the entry, and its authentication code. Blocks take their turn in their order,
// whichever threads hold them: first for their place, then for the code, so that a block is enciphered
// while the one before it is still being authenticated.
class AesChain {
  public:
    explicit AesChain(const AesKeys& keys) : keys_(keys), mac_(keys.mac, sizeof keys.mac) {}

    const AesKeys& keys() const { return keys_; }

    // Block index's offset in the entry's encrypted bytes, length bytes taken after it; nullopt when a block
    // before it ended the entry. ends: this block is the entry's last, whatever follows.
    std::optional<std::uint64_t> Place(std::size_t index, std::size_t length, bool ends);
    // Takes block index's encrypted bytes into the code (nothing after the entry ended).
    void Authenticate(std::size_t index, const char* data, std::size_t length);
    // The code, once every block is in.
    void Finish(unsigned char code[HmacSha1::kBytes]);

  private:
    AesKeys keys_;
    HmacSha1 mac_;
    std::mutex mutex_;
    std::condition_variable turn_;
    std::size_t placeTurn_ = 0;
    std::size_t macTurn_ = 0;
    std::uint64_t placed_ = 0;
    std::optional<std::size_t> lastBlock_;  // the block that ended the entry
};

}  // namespace zov::rar
