#pragma once

#include <string>

// Opening a folder or URL in the user's desktop goes through the current Shell, so tests can record it.
namespace zov {

class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a folder, file or URL with its default application; false when that could not be started.
    virtual bool Open(const std::string& target) = 0;
};

// Production shell: starts "xdg-open <target>" detached through the process runner; true when it was
// started.
class XdgOpenShell : public Shell {
  public:
    bool Open(const std::string& target) override;
};

Shell& CurrentShell();
// Installs a shell for the whole process; nullptr restores xdg-open. The caller keeps ownership.
void SetShell(Shell* shell);

}  // namespace zov
