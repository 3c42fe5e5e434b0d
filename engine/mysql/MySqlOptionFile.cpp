#include "engine/mysql/MySqlOptionFile.h"

#include <algorithm>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace zov {
namespace {

// Deeper includes are a loop or a mistake; they are not read.
constexpr int kMaxIncludeDepth = 10;
constexpr std::size_t kMaxOptionFileSize = 1024 * 1024;
constexpr const char* kBlanks = " \t\r\n";

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string OptionKey(const std::string& name) {
    std::string key = LowerAscii(Trim(name));
    std::replace(key.begin(), key.end(), '-', '_');
    return key;
}

// The line without a comment that begins with '#' outside quotes.
std::string WithoutEndComment(const std::string& line) {
    char quote = 0;
    bool escaped = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if ((c == '"' || c == '\'') && !escaped) {
            if (quote == 0) {
                quote = c;
            } else if (quote == c) {
                quote = 0;
            }
        }
        if (quote == 0 && c == '#') return line.substr(0, at);
        escaped = quote != 0 && c == '\\' && !escaped;
    }
    return line;
}

std::string Unquoted(std::string value) {
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') &&
        value.front() == value.back()) {
        value = value.substr(1, value.size() - 2);
    }
    std::string text;
    for (std::size_t at = 0; at < value.size(); ++at) {
        if (value[at] != '\\' || at + 1 == value.size()) {
            text += value[at];
            continue;
        }
        const char next = value[++at];
        switch (next) {
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            case 'b':
                text += '\b';
                break;
            case 's':
                text += ' ';
                break;
            case '"':
            case '\'':
            case '\\':
                text += next;
                break;
            default:
                text += '\\';
                text += next;
        }
    }
    return text;
}

class OptionReader {
  public:
    OptionReader(const std::vector<std::string>& groups, const std::string& name) : key_(OptionKey(name)) {
        for (const std::string& group : groups) groups_.push_back(LowerAscii(group));
    }

    void Read(const std::string& path, int depth) {
        if (depth > kMaxIncludeDepth) return;
        std::optional<std::string> text = ReadWholeFile(path, kMaxOptionFileSize);
        if (!text) return;
        bool inGroup = false;
        std::istringstream lines(*text);
        for (std::string line; std::getline(lines, line);) {
            line = Trim(line);
            if (line.empty() || line[0] == '#' || line[0] == ';') continue;
            if (line[0] == '!') {
                Include(line, WithTrailingSlash(GetFolder(path)), depth);
                continue;
            }
            line = Trim(WithoutEndComment(line));
            if (line[0] == '[') {
                const std::size_t end = line.find(']');
                const std::string group =
                    LowerAscii(Trim(line.substr(1, end == std::string::npos ? 0 : end - 1)));
                inGroup = std::find(groups_.begin(), groups_.end(), group) != groups_.end();
                continue;
            }
            if (!inGroup) continue;
            const std::size_t equals = line.find('=');
            if (OptionKey(line.substr(0, equals)) != key_) continue;
            value_ = equals == std::string::npos ? "" : Unquoted(Trim(line.substr(equals + 1)));
        }
    }

    const std::optional<std::string>& value() const { return value_; }

  private:
    static std::string GetFolder(const std::string& path) {
        const std::size_t slash = path.rfind('/');
        return slash == std::string::npos ? "." : path.substr(0, slash + 1);
    }

    void Include(const std::string& line, const std::string& folder, int depth) {
        std::istringstream words(line);
        std::string directive;
        words >> directive;
        std::string target = Trim(line.substr(directive.size()));
        if (target.empty()) return;
        if (!IsAbsolutePath(target)) target = folder + target;
        if (directive == "!include") {
            Read(target, depth + 1);
        } else if (directive == "!includedir") {
            const std::string dir = WithTrailingSlash(target);
            for (const std::string& entry : ListDirectory(dir)) {
                if (entry.ends_with(".cnf") && IsRegularFile(dir + entry)) Read(dir + entry, depth + 1);
            }
        }
    }

    std::vector<std::string> groups_;
    std::string key_;
    std::optional<std::string> value_;
};

}  // namespace

std::optional<std::string> ReadMySqlOption(const std::string& path, const std::vector<std::string>& groups,
                                           const std::string& name) {
    OptionReader reader(groups, name);
    reader.Read(path, 0);
    return reader.value();
}

}  // namespace zov
