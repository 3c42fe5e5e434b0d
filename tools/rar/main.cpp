// rar: the archiver the backup engine runs. It speaks the command lines and exit codes of the console rar
// the engine was written for, and writes standard ZIP archives (optionally AES-256 encrypted, optionally cut
// into volumes) under .rar names.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/rar/AddCommand.h"
#include "tools/rar/CommandLine.h"
#include "tools/rar/ExitCode.h"
#include "tools/rar/ExtractCommand.h"
#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"
#include "tools/rar/Reporter.h"

namespace {

// Without TZ, the C library looks at /etc/localtime again for every time it converts; naming it once reads
// the same zone once.
void FixTimeZone() { setenv("TZ", ":/etc/localtime", 0); }

}  // namespace

int main(int argc, char** argv) {
    using namespace zov::rar;
    FixTimeZone();
    InstallInterruptHandlers();

    const std::vector<std::string> args(argv + 1, argv + argc);
    const char* environment = std::getenv("RAR");
    std::string error;
    std::optional<Options> options =
        ParseCommandLine(args, EnvironmentSwitches(environment != nullptr ? environment : ""), error);
    if (!options) {
        if (std::find(args.begin(), args.end(), "-inul") == args.end())
            std::fprintf(stderr, "rar: %s\n", error.c_str());
        return kUsageError;
    }
    if (!options->logFile.empty()) options->logFile = AbsolutePath(options->logFile);

    Reporter reporter(options->archive, options->quiet, options->logFile);
    if (options->command == Command::Add) {
        RunAdd(*options, reporter);
    } else {
        RunExtract(*options, reporter);
    }
    return Interrupted() ? kUserBreak : reporter.code();
}
