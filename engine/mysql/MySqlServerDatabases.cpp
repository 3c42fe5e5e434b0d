#include "engine/mysql/MySqlServerDatabases.h"

#include <algorithm>
#include <chrono>
#include <sstream>

#include "engine/files/CacheFolder.h"
#include "engine/mysql/MySqlRun.h"
#include "platform/AtomicFile.h"

namespace zov {
namespace {

constexpr const char* kSchemaWithoutFolder = "information_schema";
constexpr const char* kFolderOfNoDatabase = "#mysql50#";
constexpr auto kListTimeout = std::chrono::minutes(10);
constexpr std::size_t kMaxListBytes = 64 * 1024 * 1024;

// A name as the client's batch output escapes it: \t, \n, \0 and \\ stand for the characters.
std::string Unescaped(const std::string& text) {
    std::string name;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 == text.size()) {
            name += text[at];
            continue;
        }
        const char next = text[++at];
        name += next == 't' ? '\t' : next == 'n' ? '\n' : next == '0' ? '\0' : next;
    }
    return name;
}

}  // namespace

std::optional<std::vector<MySqlDatabase>> AskMySqlDatabases(const std::string& client,
                                                            const MySqlClientOptions& options,
                                                            std::stop_token stop, std::string& error) {
    CacheWorkFolder work;
    if (work.path().empty()) {
        error = "生成临时文件夹名失败。";
        return std::nullopt;
    }
    const std::vector<std::string> argv{client,
                                        options.Argument(),
                                        "--batch",
                                        "--skip-column-names",
                                        "--default-character-set=utf8mb4",
                                        "--execute=SHOW DATABASES"};
    const MySqlToolFiles files{"", work.path() + "databases.txt", work.path() + "errors.txt"};
    const MySqlToolRun run = RunBatchFile(argv, files, kListTimeout, std::move(stop), options.server());
    const std::optional<std::string> text =
        run.succeeded ? ReadWholeFile(files.output, kMaxListBytes) : std::nullopt;
    if (!text) {
        error =
            run.errorText.empty() ? "无法读取MySQL服务器" + options.server() + "的数据库列表" : run.errorText;
        return std::nullopt;
    }
    std::vector<MySqlDatabase> databases;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = Unescaped(line);
        if (name == kSchemaWithoutFolder || name.starts_with(kFolderOfNoDatabase)) continue;
        if (std::optional<std::string> folder = EncodeMySqlFileName(name))
            databases.push_back({name, *folder});
    }
    std::sort(databases.begin(), databases.end(),
              [](const MySqlDatabase& a, const MySqlDatabase& b) { return a.name < b.name; });
    return databases;
}

}  // namespace zov
