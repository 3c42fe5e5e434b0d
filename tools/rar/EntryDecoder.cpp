#include "tools/rar/EntryDecoder.h"

#include <isa-l/crc.h>

#include <cstring>

namespace zov::rar {
namespace {

constexpr std::uint16_t kDeflate = 8;

const unsigned char* Bytes(const char* data) { return reinterpret_cast<const unsigned char*>(data); }

bool CrcMatches(const ZipListing& entry, std::uint32_t crc) { return !entry.checkCrc || crc == entry.crc; }

}  // namespace

void EntryDecoder::Run(DecodeJob& job) {
    job.out.clear();
    job.out.reserve(static_cast<std::size_t>(job.outBound));
    MakeKeys(job);
    for (DecodePart& part : job.parts) {
        part.outBegin = part.outEnd = job.out.size();
        const AesKeys* keys = NeedsKeys(part) ? &keys_.Take() : nullptr;
        if (!part.chunk) {
            part.result = DecodeWhole(part, job, keys);
            if (part.result != Decoded::Ok) job.out.resize(part.outBegin);
            part.outEnd = job.out.size();
        } else if (part.chain != nullptr) {
            HandInChunk(part, job, keys);
        }
    }
    keys_.Wipe();
}

void EntryDecoder::SealHandedIn() {
    if (toSeal_ == nullptr) return;
    toSeal_->Seal();
    toSeal_.reset();
}

// An encrypted entry read whole, or the first chunk of a large one: its keys are made with the job's.
bool EntryDecoder::NeedsKeys(const DecodePart& part) const {
    if (password_ == nullptr) return false;
    if (part.chunk) return part.chain != nullptr && part.chunkIndex == 0;
    return part.entry->encrypted && part.entry->type != EntryType::Folder &&
           part.inEnd - part.inBegin >= WinZipAes::kHeaderBytes + WinZipAes::kTrailerBytes;
}

void EntryDecoder::MakeKeys(const DecodeJob& job) {
    if (password_ == nullptr) return;
    keys_.Begin(job.parts.size());
    for (const DecodePart& part : job.parts) {
        if (!NeedsKeys(part)) continue;
        const char* header = part.chunk ? part.header.data() : job.input.data() + part.inBegin;
        std::memcpy(keys_.Add().salt, header, AesKeys::kSaltBytes);
    }
    keys_.Derive(*password_);
}

// The chain authenticates the encrypted bytes as they are and deciphers them into the job's output, here or
// on the thread that makes the entry's keys.
void EntryDecoder::HandInChunk(DecodePart& part, DecodeJob& job, const AesKeys* keys) {
    if (part.chunkIndex == 0) {
        if (keys != nullptr && keys->Fits(part.header.data())) {
            part.chain->SetKeys(*keys, chunkCipher_);
        } else {
            part.result = Decoded::BadPassword;
        }
    }
    const std::size_t length = part.inEnd - part.inBegin;
    job.out.resize(part.outBegin + length);
    part.outEnd = job.out.size();
    const AesChain::Block block{job.input.data() + part.inBegin, length, job.out.data() + part.outBegin,
                                part.chunkOffset, part.lastChunk};
    part.chain->HandIn(part.chunkIndex, block, chunkCipher_);
    toSeal_ = part.chain;
}

// A whole entry: password check, authentication, deciphering, inflating and the CRC, in that order.
Decoded EntryDecoder::DecodeWhole(DecodePart& part, DecodeJob& job, const AesKeys* keys) {
    const ZipListing& entry = *part.entry;
    char* data = job.input.data() + part.inBegin;
    std::size_t length = part.inEnd - part.inBegin;
    if (entry.type == EntryType::Folder) return Decoded::Ok;
    if (entry.encrypted) {
        if (length < WinZipAes::kHeaderBytes + WinZipAes::kTrailerBytes) return Decoded::Damaged;
        if (keys == nullptr || !keys->Fits(data) || !aes_.Open(*keys)) return Decoded::BadPassword;
        data += WinZipAes::kHeaderBytes;
        length -= WinZipAes::kHeaderBytes + WinZipAes::kTrailerBytes;
        aes_.Decrypt(data, length);
        if (!aes_.Authentic(data + length)) return Decoded::Damaged;
    }
    const auto size = static_cast<std::size_t>(entry.size);
    const std::size_t begin = job.out.size();
    if (entry.method != kDeflate) {
        if (length != size) return Decoded::Damaged;
        job.out.insert(job.out.end(), data, data + length);
    } else {
        // One byte of room past the declared size tells an entry that holds more.
        job.out.resize(begin + size + 1);
        isal_inflate_init(&inflate_);
        inflate_.next_in = reinterpret_cast<std::uint8_t*>(data);
        inflate_.avail_in = static_cast<std::uint32_t>(length);
        inflate_.next_out = reinterpret_cast<std::uint8_t*>(job.out.data() + begin);
        inflate_.avail_out = static_cast<std::uint32_t>(size + 1);
        const int status = isal_inflate(&inflate_);
        if (status != ISAL_DECOMP_OK || inflate_.block_state != ISAL_BLOCK_FINISH ||
            inflate_.avail_out != 1) {
            return Decoded::Damaged;
        }
        job.out.resize(begin + size);
    }
    const std::uint32_t crc = crc32_gzip_refl(0, Bytes(job.out.data() + begin), size);
    return CrcMatches(entry, crc) ? Decoded::Ok : Decoded::Damaged;
}

void StreamInflater::Start(const ZipListing& entry) {
    entry_ = &entry;
    produced_ = 0;
    crc_ = 0;
    isal_inflate_init(&state_);
}

bool StreamInflater::Give(const char* data, std::size_t length, const Sink& sink) {
    if (length > entry_->size - produced_) return false;
    crc_ = crc32_gzip_refl(crc_, Bytes(data), length);
    const std::uint64_t offset = produced_;
    produced_ += length;
    return sink(data, length, offset);
}

bool StreamInflater::Feed(const char* data, std::size_t length, const Sink& sink) {
    if (entry_->method != kDeflate) return Give(data, length, sink);
    state_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data));
    state_.avail_in = static_cast<std::uint32_t>(length);
    while (state_.block_state != ISAL_BLOCK_FINISH) {
        state_.next_out = reinterpret_cast<std::uint8_t*>(piece_.data());
        state_.avail_out = static_cast<std::uint32_t>(piece_.size());
        if (isal_inflate(&state_) != ISAL_DECOMP_OK) return false;
        const std::size_t made = piece_.size() - state_.avail_out;
        if (made > 0 && !Give(piece_.data(), made, sink)) return false;
        // All input taken and the output not full: the rest needs the next chunk.
        if (state_.avail_in == 0 && state_.avail_out > 0) break;
    }
    return true;
}

bool StreamInflater::Complete() const {
    const bool ended = entry_->method != kDeflate || state_.block_state == ISAL_BLOCK_FINISH;
    return ended && produced_ == entry_->size && CrcMatches(*entry_, crc_);
}

}  // namespace zov::rar
