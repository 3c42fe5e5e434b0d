#pragma once

#include "gui/shell/Prompter.h"

namespace zov::gui {

// Answers every box with its default button and writes "box: <caption>: <text>" to standard error: a run
// of the program that nobody watches (tests of the whole program set ZOV_TEST_PROMPTER=auto).
class AutoAnswerPrompter : public Prompter {
  public:
    Answer Show(QWidget* owner, const Box& box) override;
};

// Installs an AutoAnswerPrompter for the process when ZOV_TEST_PROMPTER is "auto"; true when installed.
bool InstallPrompterFromEnvironment();

}  // namespace zov::gui
