#include "support/TempProgramDir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ProgramDir.h"

namespace zov::test {

TempProgramDir::TempProgramDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zovtest_XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    if (made == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    path_ = std::string(made) + "/";
    previous_ = NamedProgramDir();
    SetProgramDir(path_);
}

TempProgramDir::~TempProgramDir() {
    SetProgramDir(previous_.value_or(""));
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string BuiltProgram(const std::string& name) {
    const char* output = getenv("ZOV_PROGRAM_OUTPUT");
    if (output == nullptr) {
        ADD_FAILURE() << "ZOV_PROGRAM_OUTPUT names the folder of the built programs";
        return "";
    }
    const std::string program = std::string(output) + "/" + name;
    if (!std::filesystem::exists(program)) ADD_FAILURE() << program << " is not built";
    return program;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace zov::test
