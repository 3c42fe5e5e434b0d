#pragma once

#include <string>
#include <string_view>
#include <vector>

class QWidget;

// The web addresses of the maker: config.ini [QEL] settings, all empty by default (no such service exists
// for an installation until an administrator names one).
namespace zov::gui {

inline constexpr const char* kMakerSection = "QEL";
inline constexpr const char* kUpdateServersKey = "UpdateServers";  // base addresses joined by "|"
inline constexpr const char* kStatisticsKey = "StatsUrl";
inline constexpr const char* kMakerSiteKey = "SiteUrl";
inline constexpr const char* kRarDownloadKey = "RarUrl";

// The update-check base addresses in order; pieces shorter than 4 characters are dropped.
std::vector<std::string> UpdateServers();
std::string StatisticsAddress();
std::string MakerSite();
std::string RarDownloadPage();
// MakerSite() + path, or "" when no site is set.
std::string MakerPage(std::string_view path);

// True for an http:// or https:// address (scheme in any case) with something after the scheme.
bool IsWebAddress(std::string_view address);
// Opens a web address through the current Shell. An empty address opens nothing and says nothing; any
// other text, or an address the shell cannot open, gives a box over owner that names it. True when opened.
bool OpenWebAddress(const std::string& address, QWidget* owner = nullptr);

}  // namespace zov::gui
