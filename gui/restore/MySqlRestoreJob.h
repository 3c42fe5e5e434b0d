#pragma once

#include <string>

#include "engine/jobs/JobContext.h"
#include "gui/restore/RestoreBox.h"
#include "gui/restore/RestoreRequests.h"

namespace zov::gui {

// Restores a MySQL backup archive "<name>_<stamp>.rar" into the database of the server that the service
// runs: unpacks its dump "<name>.sql" into a private work folder of the cache folder (the archive's
// password asked again while it is wrong, at most three times) and runs the server's command-line client
// on it (no shell; the dump is its standard input, the root password reaches it in a 0600 option file,
// none when it is empty, so it never waits for one). It succeeds only when the dump was there and the
// client exited with 0; otherwise the box and the record carry the client's error text. The work folder
// is removed on every path. Once the server and the archive are found, one MySQL log record ("还原", task
// name "-", item the service, target the archive) is written, unless a stop cut the restore short.
RestoreBox RestoreMySqlDatabase(const MySqlRestoreRequest& request, const std::string& rarPath,
                                const JobContext& job);

}  // namespace zov::gui
