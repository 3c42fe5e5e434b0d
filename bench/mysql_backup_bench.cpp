// The MySQL benchmark's helper: one run of a MySQL task of one database through CBackup, in the program
// folder $ZOV_PROGRAM_DIR, against the server started with the option file (registered there as a local
// service) and reached through its socket. The root password comes from $ZOV_BENCH_MYSQL_PASSWORD.
//   mysql_backup_bench <server option file> <socket> <database> <storage folder> <rar>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/backup/Backup.h"
#include "engine/logs/StateLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"
#include "platform/ServiceManagerLocal.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s <server option file> <socket> <database> <storage> <rar>\n", argv[0]);
        return 2;
    }
    const char* password = std::getenv("ZOV_BENCH_MYSQL_PASSWORD");
    zov::IniFile(zov::ConfigIniPath()).Write("Socket", "MYSQL", argv[2]);
    zov::LocalServiceManager services(zov::RunFolder() + "services/");
    zov::ServiceConfig server;
    server.name = "BenchServer";
    server.command = {"/usr/sbin/mariadbd", std::string("--defaults-file=") + argv[1]};
    server.autoStart = false;
    services.Remove(server.name);
    if (!services.Install(server)) return 1;

    zov::CQelXML store;
    store.SetFilePath(zov::TaskDbPath());
    zov::TaskInfo task;
    task.name = "bench";
    task.flags = 0x06;
    task.sqlType = zov::kMySql;
    task.serviceName = server.name;
    task.database = argv[3];
    task.rootPassword = password == nullptr ? "" : password;
    task.dest = argv[4];
    task.times = "01:00";
    if (!store.Load() || !store.ChangeTask(zov::kChangeAdd, task, true, false)) return 1;

    std::string message;
    zov::StateLogSink status(zov::ProgramDir());
    zov::UnattendedAsker nobody;
    const std::string date = zov::FormatLocalTime(zov::Now(), "%Y-%m-%d");
    if (zov::CBackup().RunMySqlTask(task, date, argv[5], message, {status, nobody, {}}) == 0) {
        std::fprintf(stderr, "backup failed: %s\n", message.c_str());
        return 1;
    }
    return 0;
}
