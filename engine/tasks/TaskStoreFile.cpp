#include "engine/tasks/TaskStoreFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string_view>
#include <system_error>

#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/Refusal.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// The passwords are enciphered under a key every copy of the program holds: only the owner may read them.
constexpr mode_t kStoreMode = 0600;
constexpr const char* kStoreSecrets = "压缩和数据库密码";

// Reads at most limit + 1 bytes, so a file that grew beyond the limit is noticed; expected is the size the
// file had when opened. False with errno.
bool ReadAll(int fd, std::size_t expected, std::size_t limit, std::string& bytes) {
    bytes.resize(std::min(expected, limit) + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have > limit) break;
            bytes.resize(std::min(2 * have, limit + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
    return true;
}

// Tells one content from another without the cost of a cryptographic digest: the file is the program's
// own and only needs telling apart from its earlier contents.
std::string ContentDigest(std::string_view bytes) {
    return std::to_string(std::hash<std::string_view>{}(bytes));
}

std::string ReadError(int error) { return "无法读取（" + std::system_category().message(error) + "）"; }

bool ReadOpened(int fd, std::string& text, FileVersion& version, std::string& why) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        version.error = errno;
        return Refuse(why, ReadError(version.error));
    }
    version = VersionOf(info);
    if (!S_ISREG(info.st_mode)) return Refuse(why, "不是普通文件");
    std::string bytes;
    if (!ReadAll(fd, static_cast<std::size_t>(info.st_size), kTaskStoreMaxFileSize, bytes))
        return Refuse(why, ReadError(errno));
    if (bytes.size() > kTaskStoreMaxFileSize) {
        return Refuse(why, "大于可读取的 " + std::to_string(kTaskStoreMaxFileSize) + " 字节");
    }
    // The text tells the content at an eighth of the bytes; a file that does not decipher by its bytes.
    const bool deciphered = DecipherStoreText(bytes, text, why);
    version.digest = ContentDigest(deciphered ? std::string_view(text) : std::string_view(bytes));
    return deciphered;
}

}  // namespace

bool ReadTaskStore(const std::string& path, std::string& text, FileVersion& version, std::string& why) {
    text.clear();
    version = {};
    KeepFilePrivate(path, kStoreSecrets);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        version.error = errno;
        if (version.error == ENOENT && !PathExists(path)) return true;
        return Refuse(why, ReadError(version.error));
    }
    const bool read = ReadOpened(fd, text, version, why);
    ::close(fd);
    return read;
}

bool WriteTaskStore(const std::string& path, std::string_view text) {
    if (text.size() > kTaskStoreMaxTextSize) return false;
    return WriteFileAtomic(path, EncipherStoreText(text), kStoreMode);
}

}  // namespace zov
