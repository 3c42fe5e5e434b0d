#include "service/MyService.h"

#include <cstdlib>

#include "engine/settings/ProgramFiles.h"
#include "platform/Folders.h"
#include "platform/IniProfile.h"
#include "service/ServiceThreads.h"

namespace zov {
namespace {

constexpr int kWriteCurrentCode = 128;

void ReadNumber(const std::string& section, const char* key, int& value) {
    const std::string text = ini::Read(ServiceRegistryPath(), section, key);
    if (!text.empty()) value = static_cast<int>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

std::string ServiceRegistryPath() { return RunFolder() + "registry.ini"; }

CMyService::CMyService() : CService(kBackupServiceName) {}

bool CMyService::Prepare() {
    ReadNumber("Parameters", "Start", startValue_);
    ReadNumber("Parameters", "Inc", increment_);
    currentValue_ = startValue_;
    return true;
}

bool CMyService::HandleUserCode(int code) {
    if (code != kWriteCurrentCode) return false;
    CreateFolderChain(RunFolder());
    ini::Write(ServiceRegistryPath(), "Status", "Current", std::to_string(currentValue_));
    return true;
}

void CMyService::Run() {
    ServiceThreads threads = StartServiceThreads();
    running_.wait(true);
    threads.StopForExit();
}

}  // namespace zov
