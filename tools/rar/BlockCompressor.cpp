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
        // Every block of a chain takes its turns, so that the blocks after it are not held up.
        if (part.chain != nullptr)
            EncryptBlock(part, job.out.data() + part.begin, job.out.size() - part.begin);
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

// A block of a large encrypted entry: enciphered where its place in the entry says, then authenticated in
// the entry's order.
void BlockCompressor::EncryptBlock(Part& part, char* data, std::size_t length) {
    const std::optional<std::uint64_t> offset =
        part.chain->Place(part.chainIndex, length, part.last || part.readError != 0);
    if (offset) {
        if (blockCipher_.SetKey(part.chain->keys().cipher, *offset)) {
            blockCipher_.Apply(data, length);
        } else {
            part.keysFailed = true;
        }
    }
    part.chain->Authenticate(part.chainIndex, data, length);
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
