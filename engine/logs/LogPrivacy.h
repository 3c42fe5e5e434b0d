#pragma once

// The log folders made private again when found open to others.
namespace zov {

// Walks the program folder's "Log/" (where both programs point config.ini's log folder) by descriptor and
// takes every permission of group and others from it and the real folders (kLogFolderMode at most) and
// files (kLogFileMode at most) in it; links are neither followed nor changed. Says in system.log how many
// entries it narrowed. At the start of the service and of the management program.
void KeepLogsPrivate();

}  // namespace zov
