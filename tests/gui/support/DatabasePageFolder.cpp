#include "support/DatabasePageFolder.h"

#include <QtGlobal>
#include <cstdlib>
#include <filesystem>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "platform/ServiceManagerLocal.h"

namespace zov::gui::test {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void Restore(const char* name, const std::string& value) {
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
}

}  // namespace

ForcedServiceBackend::ForcedServiceBackend(bool local, const std::string& folder)
    : backend_(Variable("ZOV_SERVICE_BACKEND")), path_(Variable("PATH")) {
    setenv("ZOV_SERVICE_BACKEND", local ? "local" : "systemd", 1);
    if (local) return;
    const std::string fake = folder + "fake-systemd/";
    std::filesystem::create_directories(fake);
    WriteFile(fake + "systemctl", "#!/bin/sh\nexit 1\n");
    std::filesystem::permissions(fake + "systemctl", std::filesystem::perms::owner_all);
    setenv("PATH", (fake + ":" + path_).c_str(), 1);
}

ForcedServiceBackend::~ForcedServiceBackend() {
    Restore("ZOV_SERVICE_BACKEND", backend_);
    Restore("PATH", path_);
}

void RegisterService(const std::string& name, const std::vector<std::string>& command) {
    LocalServiceManager manager(RunFolder() + "services/");
    ServiceConfig service;
    service.name = name;
    service.displayName = name;
    service.command = command;
    service.autoStart = false;
    if (!manager.Install(service)) qWarning("service %s not registered", name.c_str());
}

DatabasePageFolder::DatabasePageFolder() {
    IniFile(ConfigIniPath()).Write("Dir", "LOG", folder / "Log/");
    std::filesystem::create_directories(folder / "bak");
}

TaskInfo DatabasePageFolder::Task(int sqlType, int id, const std::string& name,
                                  const std::string& databases) const {
    TaskInfo task;
    task.id = id;
    task.name = name;
    task.flags = kTaskCompress | kTaskScheduled | kTaskKeepDays;
    task.sqlType = sqlType;
    task.database = databases;
    task.instance = sqlType == kSqlServer ? "MSSQLSERVER" : "";
    task.dest = folder / ("bak/" + name);
    task.times = "01:00";
    task.days.set();
    std::filesystem::create_directories(task.dest);
    return task;
}

}  // namespace zov::gui::test
