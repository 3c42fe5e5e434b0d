// The MySQL benchmark's helper: runs a MySQL task of one database through CBackup, in the program folder
// $ZOV_PROGRAM_DIR, against the server started with the option file (registered there as a local service)
// and reached through its socket, and the peer's shell pipeline, in turn, that many times; prints for each
// side a line of the fastest and the median run in seconds. The root password comes from
// $ZOV_BENCH_MYSQL_PASSWORD.
//   mysql_backup_bench <server option file> <socket> <database> <storage folder> <rar> <runs> <pipeline>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/logs/StateLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"
#include "platform/ServiceManagerLocal.h"

namespace {

// Seconds work took; negative when it failed.
double Seconds(const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintSide(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%.3f %.3f\n", times.front(), times[times.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8 || std::atoi(argv[6]) < 1) {
        std::fprintf(stderr,
                     "usage: %s <server option file> <socket> <database> <storage> <rar> <runs> <pipeline>\n",
                     argv[0]);
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

    zov::StateLogSink status(zov::ProgramDir());
    zov::UnattendedAsker nobody;
    const auto runTask = [&] {
        std::string message;
        const std::string date = zov::FormatLocalTime(zov::Now(), "%Y-%m-%d");
        if (zov::CBackup().RunMySqlTask(task, date, argv[5], message, {status, nobody, {}}) != 0) return true;
        std::fprintf(stderr, "backup failed: %s\n", message.c_str());
        return false;
    };
    const std::string pipeline = argv[7];
    std::vector<double> pipelineTimes;
    std::vector<double> taskTimes;
    for (int run = 0; run < std::atoi(argv[6]); ++run) {
        pipelineTimes.push_back(Seconds([&] { return std::system(pipeline.c_str()) == 0; }));
        taskTimes.push_back(Seconds(runTask));
        if (pipelineTimes.back() < 0 || taskTimes.back() < 0) return 1;
    }
    PrintSide(pipelineTimes);
    PrintSide(taskTimes);
    return 0;
}
