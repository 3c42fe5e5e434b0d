#pragma once

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

// One run of a client program of the server, in place of a batch file: no shell, no terminal, no prompt.
namespace zov {

struct MySqlToolFiles {
    std::string input;   // its standard input; "" for /dev/null
    std::string output;  // its standard output (made or replaced); "" discards it
    std::string errors;  // its error output, read back for the message; "" discards it
};

struct MySqlToolRun {
    bool succeeded = false;  // it ran and exited with 0
    // Another run cannot end better: the program could not be run, was stopped or timed out, reported a
    // wrong option, or the server refused the login or the database.
    bool final = false;
    std::string
        errorText;  // the program's error output (at most kMySqlErrorTextBytes), or why it did not run
};

inline constexpr std::size_t kMySqlErrorTextBytes = 1000;

// Runs argv once (argv[0] a full path) with the files, waiting at most timeout; the stop ends it.
MySqlToolRun RunBatchFile(const std::vector<std::string>& argv, const MySqlToolFiles& files,
                          std::chrono::milliseconds timeout, std::stop_token stop);

}  // namespace zov
