#include "engine/archive/ZipOperatorListFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/util/CommonRandom.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

constexpr std::size_t kListTokenLength = 5;

}  // namespace

DriverListFile::~DriverListFile() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
}

bool DriverListFile::Create() {
    const std::string token = MakeRandomToken(kListTokenLength);
    if (token.size() != kListTokenLength) return false;
    const std::string path = ProgramDir() + "qel_temp_" + token + ".ls";
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    path_ = path;
    return true;
}

bool DriverListFile::Append(std::string_view line) {
    std::string data(line);
    data += '\n';
    std::string_view rest = data;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd_, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    empty_ = false;
    return true;
}

}  // namespace zov
