#include <QApplication>
#include <cstdio>

#include "gui/app/StowmeranApp.h"
#include "gui/shell/StartConditions.h"
#include "gui/shell/ToolkitSetup.h"

int main(int argc, char** argv) {
    if (const std::optional<std::string> refusal = zov::gui::StartRefusal(argc, argv)) {
        std::fprintf(stderr, "%s\n", refusal->c_str());
        return zov::gui::CStowmeranApp::kFailedStart;
    }
    QApplication application(argc, argv);
    zov::gui::SetUpToolkit(application);
    return zov::gui::CStowmeranApp().Run();
}
