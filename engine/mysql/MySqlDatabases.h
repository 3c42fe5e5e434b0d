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

// The data-folder entry of a database name (UTF-8): the server's encoding; nullopt when the name is not
// valid UTF-8 or holds a character beyond U+FFFF, which no database name holds.
std::optional<std::string> EncodeMySqlFileName(std::string_view name);

struct MySqlDatabase {
    std::string name;    // the database's name
    std::string folder;  // its folder's name in the data folder
};

// The databases of dataDir, sorted by name in byte order: its sub-folders whose names decode.
std::vector<MySqlDatabase> ListMySqlDatabases(const std::string& dataDir);

// The title of a database's dump and backup archive: its name, or its folder's name when the name holds
// '/', which no file name can hold.
std::string MySqlDumpTitle(const MySqlDatabase& database);

// The database whose dump has the title: the folder name decoded when it names a database holding '/',
// otherwise the title as it stands.
std::string MySqlDatabaseOfDumpTitle(const std::string& title);

}  // namespace zov
