#include "tools/rar/BlockDeflater.h"

#include <new>

namespace zov::rar {
namespace {

constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;
constexpr std::size_t kFlushMargin = 16;  // the sync marker and a partial byte beyond deflateBound

}  // namespace

BlockDeflater::BlockDeflater(int level) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, kRawWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
}

BlockDeflater::~BlockDeflater() { deflateEnd(&stream_); }

void BlockDeflater::Compress(const char* data, std::size_t length, bool last, std::vector<char>& out) {
    deflateReset(&stream_);
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(length);
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    std::size_t used = out.size();
    std::size_t room = deflateBound(&stream_, static_cast<uLong>(length)) + kFlushMargin;
    for (;;) {
        out.resize(used + room);
        stream_.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        stream_.avail_out = static_cast<uInt>(room);
        const int status = deflate(&stream_, flush);
        used += room - stream_.avail_out;
        const bool done = last ? status == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out > 0;
        if (done) break;
        room = room * 2;
    }
    out.resize(used);
}

}  // namespace zov::rar
