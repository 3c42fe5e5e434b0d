#include "engine/FileOperator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string_view>

#include "engine/BackupNames.h"
#include "engine/CommonText.h"
#include "platform/Paths.h"

namespace zov {

bool CFileOperator::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

int CFileOperator::errorNumber() const {
    std::string_view text = error_;
    const auto cut = [&text](std::string_view suffix) {
        if (!text.ends_with(suffix)) return false;
        text.remove_suffix(suffix.size());
        return true;
    };
    cut("。");
    const bool closed = cut("）");
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[text.size() - 1 - digits])))
        ++digits;
    if (digits == 0 || digits > 4) return 0;
    const int number = std::stoi(std::string(text.substr(text.size() - digits)));
    text.remove_suffix(digits);
    if (!cut(closed ? "（" : "：")) return 0;
    return cut("错误号") || cut("错误代码") || cut("错误") ? number : 0;
}

bool CFileOperator::MakePrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0) return false;
    // Opened without following a link, so that nothing put there meanwhile has its mode changed.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        (void)!::fchmod(fd, 0700);
        ::close(fd);
    }
    return true;
}

int CFileOperator::CreateFolder(const std::string& folder) {
    if (!IsAbsolutePath(folder)) return -1;
    const std::string path = CleanPath(folder);
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string level = path.substr(0, end);
        if (!IsDirectory(level) && !MakePrivateFolder(level)) {
            const int code = errno;
            // A level another thread made meanwhile counts.
            if (!IsDirectory(level)) {
                errno = code == EEXIST ? ENOTDIR : code;
                return 0;
            }
        }
        if (end == std::string::npos) return 1;
    }
}

bool CFileOperator::IsRealFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> CFileOperator::ListDatedFolders(const std::string& storage) {
    std::vector<std::string> names;
    for (const std::string& name : ListDirectory(storage)) {
        if (IsDatedFolderName(name) && IsRealFolder(JoinPath(storage, name))) names.push_back(name);
    }
    return names;
}

void CFileOperator::ListSubfolders(const std::string& folder, std::vector<std::string>& names) {
    for (const std::string& name : ListDirectory(folder)) {
        if (IsDirectory(JoinPath(folder, name))) names.push_back(name);
    }
}

bool CFileOperator::MatchExtension(const std::string& file, const std::vector<std::string>& extensions,
                                   bool testEmpty, bool exclude) {
    if (!PathExists(file)) return false;
    if (IsDirectory(file)) return true;
    if (extensions.empty() && !testEmpty) return false;
    const std::size_t slash = file.rfind('/');
    const std::size_t dot = file.rfind('.');
    const std::string extension = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                      ? ""
                                      : LowerCopy(file.substr(dot));
    bool listed = false;
    for (const std::string& item : extensions) listed = listed || LowerCopy(item) == extension;
    return exclude ? !listed : listed;
}

}  // namespace zov
