#pragma once

#include <optional>
#include <string>

// What the management program needs before the toolkit starts: root, like the service, and a display to
// draw on. Checked first, so a start without them ends with one line instead of the toolkit's abort.
namespace zov::gui {

// The line that says why this start cannot go on; nullopt when it can. A display is an X or Wayland
// display in the environment, or a platform named by "-platform" or QT_QPA_PLATFORM.
std::optional<std::string> StartRefusal(int argc, char** argv);

}  // namespace zov::gui
