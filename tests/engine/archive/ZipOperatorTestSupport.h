#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/TempProgramDir.h"

namespace zov::test {

// A program folder with the recording stand-in archiver of fixtures/fake_rar.sh in its "fake/" folder and
// a clock that does not move by itself (the driver's pauses return at once).
class FakeRarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::path script = std::filesystem::path(__FILE__).parent_path() / "fixtures/fake_rar.sh";
        std::filesystem::create_directories(dir_ / "fake");
        std::filesystem::copy_file(script, FakeRar());
        chmod(FakeRar().c_str(), 0755);
    }

    std::string FakeRar() const { return dir_ / "fake/rar"; }
    void SetExitCode(int code) { WriteFile(dir_ / "fake/code", std::to_string(code)); }
    // "a" runs create their archive; a suffix such as ".part01.rar" replaces ".rar".
    void MakeArchives(const std::string& suffix = "") { WriteFile(dir_ / "fake/make", suffix); }
    std::string Recorded(const std::string& name) const { return ReadFile(dir_ / ("fake/" + name)); }
    std::vector<std::string> RecordedLines(const std::string& name) const {
        std::vector<std::string> lines;
        std::istringstream in(Recorded(name));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::vector<std::string> RecordedArgs() const { return RecordedLines("args"); }

    TempProgramDir dir_;
    test::InstalledClock clock_{MakeLocalTime(2024, 3, 5, 14, 7, 9)};
};

}  // namespace zov::test
