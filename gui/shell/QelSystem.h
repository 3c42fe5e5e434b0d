#pragma once

#include <QString>
#include <string>

namespace zov::gui {

// Facts about the machine the program runs on.
class CQelSystem {
  public:
    struct OsInfo {
        QString name = "unknown";  // PRETTY_NAME of os-release, or NAME and VERSION
        int code = 99;             // the update request's system code: 99, no Windows version
        bool is64Bit = false;
    };

    virtual ~CQelSystem() = default;

    // Read from the os-release file (its standard place unless told otherwise).
    static OsInfo GetOsInfo(const std::string& osReleasePath = "/etc/os-release");

    // 1 when a process whose name, ASCII letters lower-cased, equals lowerName runs; 0 when none does; -1
    // when the process list cannot be read. An upper-case letter in lowerName never matches.
    static int IsProcessRunning(const std::string& lowerName);
};

}  // namespace zov::gui
