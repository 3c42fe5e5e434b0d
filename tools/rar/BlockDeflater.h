#pragma once

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <cstddef>
#include <vector>

namespace zov::rar {

// A raw deflate stream used for block after block. Each block is compressed on its own, without the block
// before it as a dictionary, so blocks compressed on different threads join into one valid stream: a block
// that is not the last ends with a sync flush (on a byte boundary, not final), the last one is final.
// Levels 1 to 3 deflate with ISA-L (its levels 1 to 3), 4 and 5 with zlib (its levels 6 and 9): each level
// is slower and smaller than the one before.
class BlockDeflater {
  public:
    // level: 1 (fastest) to 5 (smallest), as the -m switch gives it.
    explicit BlockDeflater(int level);
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    // Appends the compressed block to out.
    void Compress(const char* data, std::size_t length, bool last, std::vector<char>& out);

  private:
    void CompressFast(const char* data, std::size_t length, bool last, std::vector<char>& out);
    void CompressSmall(const char* data, std::size_t length, bool last, std::vector<char>& out);

    int level_;
    isal_zstream fast_{};
    std::vector<unsigned char> fastBuffer_;  // ISA-L's hash tables
    z_stream small_{};
};

// Ends a stream whose blocks so far were all sync-flushed: an empty final block with fixed codes.
inline constexpr char kEmptyFinalBlock[] = {0x03, 0x00};

}  // namespace zov::rar
