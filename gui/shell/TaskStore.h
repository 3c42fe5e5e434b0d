#pragma once

#include "engine/tasks/QelXml.h"

namespace zov::gui {

// The management program's task store (task.db of the program folder once the splash loaded it). Keep-days
// values are written as entered.
CQelXML& TaskStore();

}  // namespace zov::gui
