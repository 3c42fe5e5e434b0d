#pragma once

#include <string>

// Notices to the management program over its two mailslots.
namespace zov {

// Sends one status text (cut at 399 bytes on a character boundary, plus its zero byte) to "StateLog".
// False when no reader exists.
bool WriteStateLog(const std::string& text);

// Ends a job's status texts: when at most one was sent since the last end, sends a zero-length message
// (the reader clears its status line). Always forgets the job's first status.
void EndStateLog();

// Sends "<cmd>N</cmd>" and its zero byte to "UpdateLog". False when no reader exists.
bool WriteUpdateLog(int notice);

}  // namespace zov
