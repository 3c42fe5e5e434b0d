#pragma once

#include <sys/types.h>

#include <string>

namespace zov {

// Logs quote task names, paths and the clients' error texts: only their owner (root) may read them.
inline constexpr mode_t kLogFolderMode = 0700;
inline constexpr mode_t kLogFileMode = 0600;

// The debug switch: on when the program folder held "debug/debug.log" when InitDebugSwitch ran at start.
void InitDebugSwitch();
void SetDebugSwitch(bool on);
bool DebugSwitch();

// Writes "YYYY-MM-DD HH:MM:SS" + tab + text + "\n" to the program folder's "Log/Files/system.log", or with
// debug to "debug/debug.log" (only while the debug switch is on). Appends, or replaces the file when
// append is false. Nothing for an empty text.
bool WriteSystemLog(const std::string& text, bool append = true, bool debug = false);

// Writes text (+ "\n" when newline) to path, appending or replacing; one write call. A new file is made
// with kLogFileMode; a link in path's last level is not followed. False when path or text is empty or the
// file cannot be written.
bool WriteTextFile(const std::string& path, const std::string& text, bool newline, bool append);
// WriteTextFile with the line end.
bool AppendLine(const std::string& text, const std::string& path, bool append = true);

}  // namespace zov
