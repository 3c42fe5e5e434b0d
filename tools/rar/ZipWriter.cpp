#include "tools/rar/ZipWriter.h"

#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"

namespace zov::rar {
namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr int kNormalLevel = 6;

int OpenForReading(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME | O_NONBLOCK);
    if (fd < 0 && errno == EPERM) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

bool ReadLink(const std::string& path, std::string& target) {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) == buffer.size()) return false;
    target.assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

// True for well-formed UTF-8: no stray or overlong bytes, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        std::uint32_t code = lead;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else if (lead >= 0x80) {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t smallest = length == 1 ? 0 : length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace

ZipWriter::~ZipWriter() {
    if (archive_ != nullptr) archive_write_free(archive_);
    if (bytesLocale_ != nullptr) freelocale(bytesLocale_);
}

bool ZipWriter::Open(const Options& options) {
    archive_ = archive_write_new();
    bytesLocale_ = newlocale(LC_ALL_MASK, "C", nullptr);
    const std::string level = "zip:compression-level=" + std::to_string(options.fastest ? 1 : kNormalLevel);
    bool ok = archive_write_set_format_zip(archive_) == ARCHIVE_OK &&
              archive_write_set_options(archive_, "zip:compression=deflate") == ARCHIVE_OK &&
              archive_write_set_options(archive_, level.c_str()) == ARCHIVE_OK &&
              archive_write_set_bytes_per_block(archive_, static_cast<int>(kBlock)) == ARCHIVE_OK &&
              archive_write_set_bytes_in_last_block(archive_, 1) == ARCHIVE_OK;
    if (ok && options.password) {
        ok = archive_write_set_options(archive_, "zip:encryption=aes256") == ARCHIVE_OK &&
             archive_write_set_passphrase(archive_, options.password->c_str()) == ARCHIVE_OK;
    }
    if (!ok) {
        reporter_.Report(kFatalError, std::string("cannot set up the archive: ") + ErrorText());
        return false;
    }
    std::string error;
    const ExitCode opened = output_.Open(error);
    if (opened != kSuccess) {
        reporter_.Report(opened, error);
        return false;
    }
    if (archive_write_open2(archive_, this, nullptr, &ZipWriter::WriteCallback, nullptr, nullptr) !=
        ARCHIVE_OK) {
        return Fail("cannot start the archive");
    }
    return true;
}

bool ZipWriter::Add(const SourceItem& item) {
    struct stat st = item.st;
    std::string linkTarget;
    int fd = -1;
    if (S_ISREG(st.st_mode)) {
        fd = OpenForReading(item.diskPath);
        if (fd < 0 || fstat(fd, &st) != 0) {
            reporter_.Report(kOpenError, SystemError("cannot open", item.diskPath));
            if (fd >= 0) close(fd);
            return true;
        }
    } else if (S_ISLNK(st.st_mode) && !ReadLink(item.diskPath, linkTarget)) {
        reporter_.Report(kOpenError, SystemError("cannot read link", item.diskPath));
        return true;
    }
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                        archive_entry_free);
    archive_entry_copy_stat(entry.get(), &st);
    archive_entry_copy_pathname(entry.get(), item.storedName.c_str());
    if (!S_ISREG(st.st_mode)) archive_entry_set_size(entry.get(), 0);
    if (S_ISLNK(st.st_mode)) archive_entry_copy_symlink(entry.get(), linkTarget.c_str());

    // Names go in as their bytes; libarchive marks a non-ASCII one as UTF-8 when the thread's locale is
    // UTF-8. A name or link that is not UTF-8 is written unmarked, so that it is read back unchanged.
    if (bytesLocale_ != nullptr && !(IsUtf8(item.storedName) && IsUtf8(linkTarget))) uselocale(bytesLocale_);
    const int header = archive_write_header(archive_, entry.get());
    uselocale(LC_GLOBAL_LOCALE);
    if (header == ARCHIVE_FAILED) {
        reporter_.Report(kFatalError, "cannot add " + item.diskPath + ": " + ErrorText());
        if (fd >= 0) close(fd);
        return true;
    }
    const bool copied = header >= ARCHIVE_WARN && (fd < 0 || CopyData(fd, item.diskPath, st.st_size));
    if (fd >= 0) close(fd);
    // The entry is finished even after a failure, so that libarchive releases its compressor.
    const bool finished = header >= ARCHIVE_WARN && archive_write_finish_entry(archive_) >= ARCHIVE_WARN;
    if (!copied || !finished || OutputFailed()) return Fail("cannot write the archive");
    ++stored_;
    return true;
}

bool ZipWriter::Close() {
    return (archive_write_close(archive_) == ARCHIVE_OK && !OutputFailed()) ||
           Fail("cannot finish the archive");
}

// An output failure is kept here rather than handed to libarchive: a failed libarchive writer cannot finish
// its entry and would never release its compressor. The copy loops stop on OutputFailed().
la_ssize_t ZipWriter::WriteCallback(archive*, void* self, const void* buffer, size_t length) {
    auto* writer = static_cast<ZipWriter*>(self);
    if (!writer->OutputFailed())
        writer->outputCode_ = writer->output_.Write(buffer, length, writer->outputError_);
    return static_cast<la_ssize_t>(length);
}

// False when the archive failed; a read error of the source is reported and ends the entry. Holes of a sparse
// file are fed as zeros without reading them.
bool ZipWriter::CopyData(int fd, const std::string& path, off_t size) {
    buffer_.resize(kBlock);
    off_t position = 0;
    while (position < size) {
        off_t data = lseek(fd, position, SEEK_DATA);
        if (data < 0) data = errno == ENXIO ? size : position;
        data = std::min(data, size);
        if (data > position && !WriteZeros(data - position)) return false;
        off_t hole = data < size ? lseek(fd, data, SEEK_HOLE) : size;
        if (hole < data || hole > size) hole = size;
        for (position = data; position < hole;) {
            if (Interrupted()) return false;
            const auto want = static_cast<std::size_t>(std::min<off_t>(hole - position, kBlock));
            const ssize_t n = pread(fd, buffer_.data(), want, position);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                // A file that shrank while it was read ends here; anything else is a read error.
                if (n < 0) reporter_.Report(kFatalError, SystemError("read error in", path));
                return true;
            }
            if (archive_write_data(archive_, buffer_.data(), static_cast<size_t>(n)) < 0 || OutputFailed()) {
                return false;
            }
            position += n;
        }
    }
    return true;
}

bool ZipWriter::WriteZeros(off_t length) {
    static const std::vector<char> zeros(kBlock, 0);
    while (length > 0) {
        if (Interrupted()) return false;
        const auto chunk = static_cast<size_t>(std::min<off_t>(length, kBlock));
        if (archive_write_data(archive_, zeros.data(), chunk) < 0 || OutputFailed()) return false;
        length -= static_cast<off_t>(chunk);
    }
    return true;
}

const char* ZipWriter::ErrorText() const {
    const char* text = archive_error_string(archive_);
    return text != nullptr ? text : "unknown error";
}

// Reports why the archive failed: the signal or the output's own error when one of them caused it.
bool ZipWriter::Fail(const std::string& what) {
    if (Interrupted()) {
        reporter_.Report(kUserBreak, "interrupted");
    } else if (OutputFailed()) {
        reporter_.Report(outputCode_, outputError_);
    } else {
        reporter_.Report(kFatalError, what + ": " + ErrorText());
    }
    return false;
}

}  // namespace zov::rar
