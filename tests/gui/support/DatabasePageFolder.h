#pragma once

#include <string>
#include <vector>

#include "engine/tasks/TaskInfo.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

namespace zov::gui::test {

// The service manager the program asks, chosen for the life of the object: the local one (its records in
// the program folder's "run/services/"), or none that answers (the systemd backend with a systemctl that
// always fails), so that no MySQL server is found.
class ForcedServiceBackend {
  public:
    ForcedServiceBackend(bool local, const std::string& folder);
    ~ForcedServiceBackend();
    ForcedServiceBackend(const ForcedServiceBackend&) = delete;
    ForcedServiceBackend& operator=(const ForcedServiceBackend&) = delete;

  private:
    std::string backend_;
    std::string path_;
};

// Registers a service with the local service manager of the program folder; it never runs.
void RegisterService(const std::string& name, const std::vector<std::string>& command);

// The folder of the database pages' tests: a program folder whose log folder is set, the storage folder
// "bak" of its tasks, the local service manager and the recording prompter.
struct DatabasePageFolder {
    DatabasePageFolder();
    // A task of the kind (kSqlServer, kMySql) of the databases ("?????": all), scheduled daily at 01:00,
    // compressed, storing into bak/<name>, which is made.
    TaskInfo Task(int sqlType, int id, const std::string& name, const std::string& databases) const;

    TempProgramFolder folder;
    ForcedServiceBackend services{true, folder.path()};
    RecordingPrompter prompter;
};

}  // namespace zov::gui::test
