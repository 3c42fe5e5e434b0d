#pragma once

#include <string>

#include "engine/jobs/JobContext.h"
#include "gui/restore/RestoreBox.h"
#include "gui/restore/RestoreRequests.h"

namespace zov::gui {

// Restores a MySQL backup archive "<name>_<stamp>.rar" into the database of the server that the service
// runs: unpacks its dump "<name>.sql" into a private work folder of the cache folder (the archive's
// password asked again while it is wrong, at most three times) and runs the server's command-line client
// on it (no shell; the root password reaches it in a 0600 option file, none when it is empty, so it never
// waits for one). The client runs with "--sandbox", so no line of the dump reaches a shell or a file; a
// client without that option restores nothing. The database is made first where it is missing (utf8mb4,
// as the dump was written); the dump, opened without following a link and only when it is a regular
// file, is the client's standard input by that descriptor. It succeeds only when the dump was there and
// the client exited with 0; otherwise the box and the record carry the client's error text. The work folder
// is removed on every path. Once the server and the archive are found, one MySQL log record ("还原", task
// name "-", item the service, target the archive) is written, unless a stop cut the restore short.
RestoreBox RestoreMySqlDatabase(const MySqlRestoreRequest& request, const std::string& rarPath,
                                const JobContext& job);

}  // namespace zov::gui
