#pragma once

#include <string>

#include "engine/jobs/JobContext.h"
#include "gui/restore/RestoreBox.h"
#include "gui/restore/RestoreRequests.h"

namespace zov::gui {

// Restores a SQL Server backup archive "<database>_<stamp>.rar": unpacks its "<database>_<stamp>.bak" into
// a private work folder of the cache folder that the server's own account may also read (the archive's
// password asked again while it is wrong), ends the database's sessions (ConnectForRestore) and restores it
// from that file (RestoreDatabase). The work folder is removed on every path. A restore that gets to the
// server writes one SQL Server log record ("还原", task name "---", item and target the archive), unless
// a stop cut it short.
RestoreBox RestoreSqlServerDatabase(const SqlRestoreRequest& request, const std::string& rarPath,
                                    const JobContext& job);

}  // namespace zov::gui
