#pragma once

#include <optional>
#include <string>

namespace zov::test {

// A fresh program folder under the system temp folder: the process's program folder (SetProgramDir) for the
// life of the object, deleted afterwards. The environment is left alone: a child program that must use the
// folder gets ZOV_PROGRAM_DIR where it is started (the local service supervisor passes it on by itself).
class TempProgramDir {
  public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    // The folder with a trailing '/'.
    const std::string& path() const { return path_; }
    // path() + relative.
    std::string operator/(const std::string& relative) const { return path_ + relative; }

  private:
    std::string path_;
    std::optional<std::string> previous_;
};

// A program of the build's program folder ($ZOV_PROGRAM_OUTPUT/name); fails the test when it is missing.
std::string BuiltProgram(const std::string& name);

// Writes a whole file (creating parent folders); fails the test on error.
void WriteFile(const std::string& path, const std::string& content);
// Reads a whole file; "" when missing.
std::string ReadFile(const std::string& path);

}  // namespace zov::test
