#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/mssql/SqlOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "support/ChinaTimeClock.h"
#include "support/RecordingJob.h"
#include "support/StoredTask.h"
#include "support/TdsPeer.h"
#include "support/TempProgramDir.h"

namespace zov::test {

// The names in a folder.
inline std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

inline constexpr const char* kPeerPassword = "p;w}d{x='y 口令";

// A program folder whose config.ini points [MSSQL] at a TDS peer (started by the test) as user "sa" with
// a hostile password, at 2024-03-05 14:07:09 (UTC+8).
class SqlServerTest : public ::testing::Test {
  protected:
    SqlServerTest() {
        IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/");
        std::filesystem::create_directories(storage_);
    }

    // Starts the peer with the script and points config.ini at it.
    void StartPeer(const std::string& script, const std::string& user = "") {
        peer_ = std::make_unique<TdsPeer>(program_ / "peer", script, user);
        ASSERT_NE(peer_->port(), 0);
        PointAt(peer_->port());
    }
    void PointAt(int port) const {
        const IniFile config(ConfigIniPath());
        config.Write("Host", "MSSQL", "127.0.0.1");
        config.Write("Port", "MSSQL", std::to_string(port));
        config.Write("User", "MSSQL", "sa");
        config.Write("Password", "MSSQL", kPeerPassword);
        config.Write("ServerAccount", "MSSQL", "nobody");
    }

    // Stores a SQL Server task of the databases ("?????": all) and returns its id.
    int StoreTask(const std::string& databases, const std::string& instance = "MSSQLSERVER") const {
        TaskInfo task;
        task.name = "库备份";
        task.flags = kTaskCompress;
        task.sqlType = kSqlServer;
        task.database = databases;
        task.instance = instance;
        task.dest = storage_;
        return StoreInTaskDb(task).id;
    }

    // The columns of every line of today's SQL Server log.
    std::vector<std::vector<std::string>> LogLines() const {
        std::vector<std::vector<std::string>> lines;
        std::istringstream text(ReadFile(program_ / "Log/SQL Server/2024-03-05.log"));
        for (std::string line; std::getline(text, line);) {
            std::vector<std::string> columns;
            SplitToList(columns, line, '\t', true, 0);
            lines.push_back(columns);
        }
        return lines;
    }

    // The entries left in the cache folder.
    std::vector<std::string> CacheEntries() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(program_ / "cache", error)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempProgramDir program_;
    ChinaTimeClock time_{2024, 3, 5, 14, 7, 9};
    const std::string storage_ = program_ / "bak";
    const std::string dated_ = program_ / "bak/2024-03-05/";
    const std::string rar_ = BuiltProgram("rar");
    RecordingJob job_;
    std::unique_ptr<TdsPeer> peer_;
};

}  // namespace zov::test
