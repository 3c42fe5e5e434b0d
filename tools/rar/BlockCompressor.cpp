#include "tools/rar/BlockCompressor.h"

#include <isa-l/crc.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/rar/Interrupt.h"

namespace zov::rar {

SourceFile::~SourceFile() { close(fd_); }

BlockCompressor::BlockCompressor(int level, const PasswordKey* password)
    : deflater_(level), password_(password), input_(kBlockBytes) {}

void BlockCompressor::Run(Job& job) {
    job.out.clear();
    for (Part& part : job.parts) {
        part.begin = part.end = job.out.size();
        if (part.file != nullptr && !Interrupted()) Compress(part, job.out);
        part.file.reset();
        // Every block of a chain is handed in, so that the blocks after it are sealed.
        if (part.chain != nullptr) {
            part.chain->HandIn(part.chainIndex, job.out.data() + part.begin, job.out.size() - part.begin,
                               part.last || part.readError != 0);
        }
        part.end = job.out.size();
    }
}

void BlockCompressor::Compress(Part& part, std::vector<char>& out) {
    Read(part);
    part.crc = crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(input_.data()), part.read);
    if (part.encrypt && !aes_.Start(*password_, out)) {
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
