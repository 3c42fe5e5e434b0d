#pragma once

#include <QString>
#include <string>

class QWidget;

// Small utilities of the management program. Rules it shares with the service are the engine's:
// engine/util/CommonPaths.h (folders, parents, path relations), CommonText.h (lower-casing, splitting, tag
// texts), CommonTime.h (time stamps), CommonFiles.h (text files, file times, folder deletes),
// CommonRandom.h (random numbers and names), engine/filter/FilterSet.h (filter items) and
// CFileOperator::CreateFolder (folder trees).
namespace zov::gui {

inline constexpr const char* kProductName = "Stowmeran";
inline constexpr const char* kProductVersion = "3.5";

// Every time of day from 00:00 in steps of step minutes (<= 0: 10) below each full hour, as "HH:MM"
// followed by one blank each.
QString BuildTimeChoices(int step);

// Today's local date from the current clock as "YYYY-MM-DD".
QString GetTodayText();

// The main window's caption: product name + "V3.5", and " - " + state when there is one.
QString MainCaption(const QString& state);
// Gives the window the caption for the state; callable from any thread (the change runs on the window
// thread). The window must outlive the calling thread's use of it.
void SetMainCaption(QWidget* mainWindow, const QString& state);

// Opens target through the current Shell; when the shell cannot, a box over owner says that the
// <what> ("文件夹", "网址") could not be opened and names it.
bool OpenWithShell(QWidget* owner, const std::string& target, const QString& what);

// Opens the path through the current Shell when it is not empty (OpenWithShell).
void OpenPathIfSet(const std::string& path, QWidget* owner = nullptr);

// Shows a folder, or the folder holding a file, in the desktop's file manager (OpenWithShell). A missing
// path gives the box "路径[<path>]不存在，打开失败！" over owner; false then, or when it was not opened.
bool OpenInExplorer(QWidget* owner, const std::string& path);

}  // namespace zov::gui
