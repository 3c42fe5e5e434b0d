#include "platform/ServiceManagerCommandLine.h"

namespace zov {
namespace {

bool NeedsQuotes(std::string_view argument) {
    return argument.empty() || argument.find_first_of(" \t\"") != std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) text += ' ';
        if (!NeedsQuotes(argument)) {
            text += argument;
            continue;
        }
        text += '"';
        for (char c : argument) {
            if (c == '"' || c == '\\') text += '\\';
            text += c;
        }
        text += '"';
    }
    return text;
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while (true) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i == text.size()) break;
        std::string argument;
        bool quoted = false;
        for (; i < text.size() && (quoted || !IsBlank(text[i])); ++i) {
            char c = text[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (quoted && c == '\\' && i + 1 < text.size() &&
                       (text[i + 1] == '"' || text[i + 1] == '\\')) {
                argument += text[++i];
            } else {
                argument += c;
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

}  // namespace zov
