#include "tools/rar/BlockCompressor.h"

#include <isa-l/crc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"

namespace zov::rar {

SourceFile::~SourceFile() { close(fd_); }

namespace {

// A small entry to encrypt, or the first block of a large one: its keys are made with the job's.
bool NeedsKeys(const Part& part) {
    return (part.encrypt && (part.file != nullptr || !part.path.empty())) ||
           (part.chain != nullptr && part.chainIndex == 0);
}

}  // namespace

BlockCompressor::BlockCompressor(int level, const PasswordKey* password)
    : deflater_(level), password_(password), input_(kBlockBytes) {}

void BlockCompressor::Run(Job& job) {
    job.out.clear();
    MakeKeys(job);
    for (Part& part : job.parts) {
        part.begin = part.end = job.out.size();
        const AesKeys* keys = nullptr;
        if (NeedsKeys(part)) {
            const AesKeys& made = keys_.Take();
            if (!part.keysFailed) keys = &made;
        }
        if (!Interrupted() && (part.file != nullptr || (!part.path.empty() && Open(part))))
            Compress(part, keys, job.out);
        part.file.reset();
        // Every block of a chain is handed in, so that the blocks after it are placed.
        if (part.chain != nullptr) {
            if (part.chainIndex == 0 && keys != nullptr) part.chain->SetKeys(*keys, chainCipher_);
            const AesChain::Block block{job.out.data() + part.begin, job.out.size() - part.begin, nullptr,
                                        AesChain::kOffsetFromBlocksBefore, part.last || part.readError != 0};
            part.chain->HandIn(part.chainIndex, block, chainCipher_);
            toSeal_ = part.chain;
        }
        part.end = job.out.size();
    }
    keys_.Wipe();
}

void BlockCompressor::SealHandedIn() {
    if (toSeal_ == nullptr) return;
    toSeal_->Seal();
    toSeal_.reset();
}

// Opens a small file by its path; a file that grew since it was listed is read up to a block.
bool BlockCompressor::Open(Part& part) {
    const int fd = OpenSourceFile(part.path);
    if (fd < 0) {
        part.openError = errno;
        return false;
    }
    part.file = std::make_shared<SourceFile>(fd);
    if (fstat(fd, &part.st) != 0) {
        part.openError = errno;
    } else if (!S_ISREG(part.st.st_mode)) {
        part.openError = EINVAL;  // no longer a file since the listing
    }
    if (part.openError != 0) {
        part.file.reset();
        return false;
    }
    part.length = static_cast<std::size_t>(std::min<std::uint64_t>(part.st.st_size, kBlockBytes));
    return true;
}

// The keys of every entry of the job that needs them, each with a fresh salt, derived together.
void BlockCompressor::MakeKeys(Job& job) {
    if (password_ == nullptr) return;
    keys_.Begin(job.parts.size());
    for (Part& part : job.parts) {
        if (NeedsKeys(part)) part.keysFailed = !keys_.Add().NewSalt();
    }
    keys_.Derive(*password_);
}

void BlockCompressor::Compress(Part& part, const AesKeys* keys, std::vector<char>& out) {
    Read(part);
    part.crc = crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(input_.data()), part.read);
    if (part.encrypt && (keys == nullptr || !aes_.Start(*keys, out))) {
        part.keysFailed = true;
        return;
    }
    const std::size_t data = out.size();
    deflater_.Compress(input_.data(), static_cast<std::size_t>(part.read), part.last, out);
    // A block whose read failed ends its entry: the stream gets its final block here.
    if (part.readError != 0 && !part.last)
        out.insert(out.end(), std::begin(kEmptyFinalBlock), std::end(kEmptyFinalBlock));
    if (part.encrypt) {
        aes_.Encrypt(out.data() + data, out.size() - data);
        aes_.Finish(out);
    }
}

// Reads the part into the buffer. A block that lies in a hole is taken as zeros without reading it; a file
// that shrank ends early.
void BlockCompressor::Read(Part& part) {
    part.read = 0;
    if (part.skipHoles) {
        const off_t data = lseek(part.file->fd(), part.offset, SEEK_DATA);
        const off_t end = part.offset + static_cast<off_t>(part.length);
        if ((data < 0 && errno == ENXIO) || data >= end) {
            std::memset(input_.data(), 0, part.length);
            part.read = part.length;
            return;
        }
    }
    while (part.read < part.length) {
        const ssize_t n = pread(part.file->fd(), input_.data() + part.read, part.length - part.read,
                                part.offset + static_cast<off_t>(part.read));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) part.readError = errno;
        if (n <= 0) return;
        part.read += static_cast<std::uint64_t>(n);
    }
}

}  // namespace zov::rar
