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
        if (part.file == nullptr || Interrupted()) continue;
        Read(part);
        part.file.reset();
        part.crc = crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(input_.data()), part.read);
        if (part.encrypt && !aes_.Start(*password_, job.out)) {
            part.keysFailed = true;
            continue;
        }
        const std::size_t data = job.out.size();
        deflater_.Compress(input_.data(), static_cast<std::size_t>(part.read), part.last, job.out);
        if (part.encrypt) {
            aes_.Encrypt(job.out.data() + data, job.out.size() - data);
            aes_.Finish(job.out);
        }
        part.end = job.out.size();
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
