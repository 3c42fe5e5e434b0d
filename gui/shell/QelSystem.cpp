#include "gui/shell/QelSystem.h"

#include <fstream>
#include <map>

#include "platform/ProcFind.h"
#include "platform/Text.h"

namespace zov::gui {

namespace {

// KEY=value lines; a value may be enclosed in double or single quotes.
std::map<std::string, std::string> ReadOsRelease(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || line.starts_with('#')) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        values[line.substr(0, equals)] = value;
    }
    return values;
}

}  // namespace

CQelSystem::OsInfo CQelSystem::GetOsInfo(const std::string& osReleasePath) {
    OsInfo info;
    info.is64Bit = sizeof(void*) == 8;
    const auto values = ReadOsRelease(osReleasePath);
    const auto value = [&values](const std::string& key) {
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    };
    std::string name = value("PRETTY_NAME");
    if (name.empty()) name = value("NAME") + (value("VERSION").empty() ? "" : " " + value("VERSION"));
    if (!name.empty()) info.name = QString::fromStdString(name);
    return info;
}

int CQelSystem::IsProcessRunning(const std::string& lowerName) {
    const std::vector<ProcessInfo> processes = ListProcesses();
    // This process is always listed: an empty list means /proc could not be read.
    if (processes.empty()) return -1;
    for (const ProcessInfo& process : processes) {
        if (LowerAscii(process.name) == lowerName) return 1;
    }
    return 0;
}

}  // namespace zov::gui
