#pragma once

// The management program from start to end: the program folder's files, one running copy per folder, the
// start-up splash, the first-start report and the main window.
namespace zov::gui {

class CStowmeranApp {
  public:
    // Exit status of a start that cannot go on (the -1 of the original program).
    static constexpr int kFailedStart = 255;

    // Runs the program inside an existing QApplication; the process's exit status.
    int Run();

  private:
    // Creates an empty task.db when there is none (then it is a first start); false after the box that
    // says it cannot be created.
    bool PrepareProgramFolder();

    bool firstStart_ = false;
};

}  // namespace zov::gui
