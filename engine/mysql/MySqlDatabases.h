#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The databases of a server's data folder: one sub-folder each, named in the server's file-name encoding
// (ASCII letters, digits and '_' as they are; every other character as '@' with a two-character letter
// code or four lower-case hex digits, so "a@002db" is the database "a-b").
namespace zov {

// The database name (UTF-8) of a data-folder entry; nullopt when the name is not in that encoding
// ("lost+found", "#innodb_temp", ".snapshot"), so that it cannot be a database.
std::optional<std::string> DecodeMySqlFileName(std::string_view fileName);

struct MySqlDatabase {
    std::string name;    // the database's name
    std::string folder;  // its folder's name in the data folder
};

// The databases of dataDir, sorted by name in byte order: its sub-folders whose names decode.
std::vector<MySqlDatabase> ListMySqlDatabases(const std::string& dataDir);

}  // namespace zov
