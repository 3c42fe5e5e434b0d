#pragma once

#include <stop_token>
#include <string>

#include "engine/control/ServiceCtrl.h"

// Repairing the backup service from the management program.
namespace zov::gui {

// The service program of the program folder.
std::string ServiceProgramPath();

// True when the service program of this program folder runs (another installation's does not count), or
// when the process list cannot be read.
bool ServiceProgramRuns();

// Stops the service (bounded), deletes it, runs the program with "-install" and stops the service, starts
// it, and sets its restart on failure, pausing 1 s after each step. True when the restart setting took and
// the program runs afterwards. A stop request ends the pauses early and the repair as failed. Blocks for
// several seconds: never on the window thread.
bool RepairService(const std::stop_token& stop);

}  // namespace zov::gui
