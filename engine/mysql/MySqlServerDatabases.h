#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/mysql/MySqlConnection.h"
#include "engine/mysql/MySqlDatabases.h"

// The databases as the server the dumps connect to lists them, so that no folder of another server decides
// what is backed up.
namespace zov {

// "SHOW DATABASES" through the command-line client with the job's option file: every database but
// information_schema (it has no folder and no data) and the "#mysql50#" names of folders that are no
// database, each with its data-folder entry, sorted by name in byte order. Nullopt with error set when the
// client did not answer (its error text, naming the server).
std::optional<std::vector<MySqlDatabase>> AskMySqlDatabases(const std::string& client,
                                                            const MySqlClientOptions& options,
                                                            std::stop_token stop, std::string& error);

}  // namespace zov
