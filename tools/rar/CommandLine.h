#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov::rar {

enum class Command { Add, Extract, Test };

struct Options {
    Command command = Command::Test;
    bool overwrite = false;         // -o+ or -y: replace existing files on extraction
    int level = 3;                  // -m<1..5>: 1 the fastest, 5 the smallest
    bool excludeBasePath = false;   // -ep1
    bool quiet = false;             // -inul
    std::uint64_t volumeBytes = 0;  // -v<N>m; 0 writes one file
    int threads = 0;                // -mt<N>; 0 takes one per core
    std::optional<std::string> password;
    std::vector<std::string> includeMasks;  // -n<mask>
    std::vector<std::string> excludeMasks;  // -x<mask>
    std::vector<std::string> listFiles;     // -n@<list>
    std::vector<std::string> leftOutLists;  // -x@<list>
    std::string logFile;                    // -logf=<file>
    std::string archivePath;                // -ap<path>: a: where in the archive the sources go
    std::string archive;
    std::string target;                    // a: the (first) source; x: the destination folder; t: unused
    std::vector<std::string> moreSources;  // a: the sources after the first
};

// The switches of the RAR environment variable: words separated by blanks, except that a password switch
// (-p) takes the rest of the value, blanks included, so "-p<password>" passes any password.
std::vector<std::string> EnvironmentSwitches(std::string_view value);

// Parses argv[1..] with the environment's switches placed before the command line's own (after the
// command). "--" ends the switches: every argument after it is a name. nullopt (with a reason in error)
// for anything outside the accepted forms.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args,
                                        const std::vector<std::string>& environmentSwitches,
                                        std::string& error);

}  // namespace zov::rar
