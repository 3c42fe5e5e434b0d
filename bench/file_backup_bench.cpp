// One run of a file task through CBackup, as a worker of the service runs it:
//   file_backup_bench copy|compressed|copy-diff|compressed-diff <source> <storage folder> <rar>: one run of a
//     full or differential task through CBackup (a differential task's first run writes its base).
#include <cstdio>
#include <string>

#include "engine/backup/Backup.h"
#include "engine/logs/StateLog.h"
#include "platform/ProgramDir.h"

int main(int argc, char** argv) {
    const std::string mode = argc == 5 ? argv[1] : "";
    if (mode != "copy" && mode != "compressed" && mode != "copy-diff" && mode != "compressed-diff") {
        std::fprintf(stderr, "usage: %s copy|compressed|copy-diff|compressed-diff <source> <storage> <rar>\n",
                     argv[0]);
        return 2;
    }
    zov::TaskInfo task;
    task.id = 1;
    task.name = "bench";
    task.flags = zov::kTaskFile | (mode.starts_with("compressed") ? zov::kTaskCompress : 0);
    task.diff = mode.ends_with("-diff");
    task.basePeriod = 7;
    task.delBad = false;
    task.source = argv[2];
    task.dest = argv[3];
    std::string message;
    zov::StateLogSink status(zov::ProgramDir());
    zov::UnattendedAsker nobody;
    if (zov::CBackup().RunFileTask(task, argv[4], message, {status, nobody, {}}) == 0) {
        std::fprintf(stderr, "backup failed: %s\n", message.c_str());
        return 1;
    }
    return 0;
}
