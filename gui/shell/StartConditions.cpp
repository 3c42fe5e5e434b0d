#include "gui/shell/StartConditions.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace zov::gui {

namespace {

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// The toolkit takes "-platform <name>" and "--platform <name>".
bool NamesPlatform(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform") return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> StartRefusal(int argc, char** argv) {
    if (geteuid() != 0)
        return "stowmeran runs as root, like the backup service zovsvc: start it as root (su or sudo)";
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM") &&
        !NamesPlatform(argc, argv))
        return "stowmeran needs a display: connect with ssh -X, or start it with -platform vnc:size=1024x768 "
               "and open a VNC viewer on port 5900";
    return std::nullopt;
}

}  // namespace zov::gui
