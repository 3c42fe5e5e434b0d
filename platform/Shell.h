#pragma once

#include <string>

// Opening a folder or URL in the user's desktop goes through the current Shell, so tests can record it.
namespace zov {

class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a folder, file or URL with its default application; false when it could not be opened.
    virtual bool Open(const std::string& target) = 0;
};

// Production shell: runs "xdg-open <target>" in a session of its own, so what it starts outlives this
// program. True when the opener reported success, or still runs after a short wait (it then waits for
// the application it started); false when it is missing or reported a failure.
class XdgOpenShell : public Shell {
  public:
    // opener: the program run in place of xdg-open.
    explicit XdgOpenShell(std::string opener = "xdg-open");
    bool Open(const std::string& target) override;

  private:
    std::string opener_;
};

Shell& CurrentShell();
// Installs a shell for the whole process; nullptr restores xdg-open. The caller keeps ownership.
void SetShell(Shell* shell);

}  // namespace zov
