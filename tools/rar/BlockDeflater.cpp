#include "tools/rar/BlockDeflater.h"

#include <cstdint>
#include <new>

namespace zov::rar {
namespace {

constexpr int kSmallestLevel = 5;
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;
constexpr std::size_t kFlushMargin = 16;   // the sync marker and a partial byte beyond deflateBound
constexpr std::size_t kFastMargin = 1024;  // stored blocks' headers and the flush beyond the input

std::size_t FastBufferBytes(int level) {
    switch (level) {
        case 1:
            return ISAL_DEF_LVL1_DEFAULT;
        case 2:
            return ISAL_DEF_LVL2_DEFAULT;
        default:
            return ISAL_DEF_LVL3_DEFAULT;
    }
}

}  // namespace

BlockDeflater::BlockDeflater(int level) : level_(level) {
    if (level_ <= ISAL_DEF_MAX_LEVEL) {
        fastBuffer_.resize(FastBufferBytes(level_));
        return;
    }
    const int zlibLevel = level_ == kSmallestLevel ? Z_BEST_COMPRESSION : Z_DEFAULT_COMPRESSION;
    if (deflateInit2(&small_, zlibLevel, Z_DEFLATED, kRawWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw std::bad_alloc();
}

BlockDeflater::~BlockDeflater() {
    if (level_ > ISAL_DEF_MAX_LEVEL) deflateEnd(&small_);
}

void BlockDeflater::Compress(const char* data, std::size_t length, bool last, std::vector<char>& out) {
    if (level_ <= ISAL_DEF_MAX_LEVEL) {
        CompressFast(data, length, last, out);
    } else {
        CompressSmall(data, length, last, out);
    }
}

void BlockDeflater::CompressFast(const char* data, std::size_t length, bool last, std::vector<char>& out) {
    isal_deflate_init(&fast_);
    fast_.level = static_cast<std::uint32_t>(level_);
    fast_.level_buf = fastBuffer_.data();
    fast_.level_buf_size = static_cast<std::uint32_t>(fastBuffer_.size());
    fast_.flush = last ? NO_FLUSH : SYNC_FLUSH;
    fast_.end_of_stream = last ? 1 : 0;
    fast_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data));
    fast_.avail_in = static_cast<std::uint32_t>(length);
    std::size_t used = out.size();
    std::size_t room = length + length / 8 + kFastMargin;
    for (;;) {
        out.resize(used + room);
        fast_.next_out = reinterpret_cast<std::uint8_t*>(out.data() + used);
        fast_.avail_out = static_cast<std::uint32_t>(room);
        if (isal_deflate(&fast_) != COMP_OK) throw std::bad_alloc();
        used += room - fast_.avail_out;
        const bool flushed =
            fast_.avail_in == 0 && fast_.avail_out > 0 &&
            (last ? fast_.internal_state.state == ZSTATE_END : fast_.internal_state.state == ZSTATE_NEW_HDR);
        if (flushed) break;
        room *= 2;
    }
    out.resize(used);
}

void BlockDeflater::CompressSmall(const char* data, std::size_t length, bool last, std::vector<char>& out) {
    deflateReset(&small_);
    small_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    small_.avail_in = static_cast<uInt>(length);
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    std::size_t used = out.size();
    std::size_t room = deflateBound(&small_, static_cast<uLong>(length)) + kFlushMargin;
    for (;;) {
        out.resize(used + room);
        small_.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        small_.avail_out = static_cast<uInt>(room);
        const int status = deflate(&small_, flush);
        used += room - small_.avail_out;
        const bool done = last ? status == Z_STREAM_END : small_.avail_in == 0 && small_.avail_out > 0;
        if (done) break;
        room = room * 2;
    }
    out.resize(used);
}

}  // namespace zov::rar
