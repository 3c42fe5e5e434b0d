#include "gui/shell/AutoAnswerPrompter.h"

#include <cstdio>

namespace zov::gui {

Prompter::Answer AutoAnswerPrompter::Show(QWidget*, const Box& box) {
    std::fprintf(stderr, "box: %s: %s\n", box.caption.toUtf8().constData(), box.text.toUtf8().constData());
    std::fflush(stderr);
    return box.defaultAnswer;
}

bool InstallPrompterFromEnvironment() {
    static AutoAnswerPrompter prompter;
    if (qEnvironmentVariable("ZOV_TEST_PROMPTER") != "auto") return false;
    SetPrompter(&prompter);
    return true;
}

}  // namespace zov::gui
