#include "gui/shell/MakerAddresses.h"

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/Prompter.h"

namespace zov::gui {

namespace {

constexpr std::size_t kShortestServer = 4;

std::string Setting(const char* key) { return IniFile(ConfigIniPath()).Read(key, kMakerSection); }

}  // namespace

std::vector<std::string> UpdateServers() {
    std::vector<std::string> servers;
    const std::string list = Setting(kUpdateServersKey);
    if (!list.empty()) SplitToArray(servers, list, "|", true, kShortestServer);
    return servers;
}

std::string StatisticsAddress() { return Setting(kStatisticsKey); }
std::string MakerSite() { return Setting(kMakerSiteKey); }
std::string RarDownloadPage() { return Setting(kRarDownloadKey); }

std::string MakerPage(std::string_view path) {
    std::string site = MakerSite();
    if (site.empty()) return "";
    while (!site.empty() && site.back() == '/') site.pop_back();
    return site + std::string(path);
}

bool IsWebAddress(std::string_view address) {
    const std::string lower = LowerCopy(address.substr(0, 8));
    for (std::string_view scheme : {"http://", "https://"}) {
        if (lower.starts_with(scheme) && address.size() > scheme.size()) return true;
    }
    return false;
}

bool OpenWebAddress(const std::string& address, QWidget* owner) {
    if (address.empty()) return false;
    if (IsWebAddress(address)) return OpenWithShell(owner, address, "网址");
    ShowBox(owner,
            QString("无法打开网址[%1]：它不是 http:// 或 https:// 开头的网址。")
                .arg(QString::fromStdString(address)),
            "错误", Prompter::Icon::Error);
    return false;
}

}  // namespace zov::gui
