#pragma once

// The supervisor program zov-supervisor (LaunchSupervisor starts it with a clean environment, which its
// service gets in turn). Its arguments, in this order:
//   RECORD-FOLDER NAME STOP-TIMEOUT-MS ANSWER-FD WORKING-FOLDER PROGRAM [ARGUMENT...]
// It answers on ANSWER-FD with an int: 0 once it has started PROGRAM, else the errno of the failed start.
namespace zov {

inline constexpr const char* kSupervisorProgram = "zov-supervisor";

// Runs the supervisor; returns only on wrong arguments (the exit status then).
int RunSupervisor(int argc, char** argv);

}  // namespace zov
