#pragma once

#include <zlib.h>

#include <cstddef>
#include <vector>

namespace zov::rar {

// A raw deflate stream used for block after block. Each block is compressed on its own, without the block
// before it as a dictionary, so blocks compressed on different threads join into one valid stream: a block
// that is not the last ends with a sync flush (on a byte boundary, not final), the last one is final.
class BlockDeflater {
  public:
    explicit BlockDeflater(int level);
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    // Appends the compressed block to out.
    void Compress(const char* data, std::size_t length, bool last, std::vector<char>& out);

  private:
    z_stream stream_{};
};

// Ends a stream whose blocks so far were all sync-flushed: an empty final block with fixed codes.
inline constexpr char kEmptyFinalBlock[] = {0x03, 0x00};

}  // namespace zov::rar
