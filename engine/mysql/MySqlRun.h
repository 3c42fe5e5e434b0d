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
    int inputFd = -1;    // read in place of input when >= 0; the caller keeps it open
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

// How long a client waits on a server that does not answer. The command-line client ends itself once the
// connection and the server's greeting took longer than connect (its option file says so); the dump tool
// has no such option, and no tool bounds a server that stops answering later: every run ends once for idle
// it neither read its input further nor wrote any output. A large dump or restore reads and writes all
// along, so only a stalled one meets that bound.
struct MySqlWaitBounds {
    std::chrono::seconds connect;
    std::chrono::seconds idle;
};

MySqlWaitBounds MySqlBounds();
// Tests shorten the bounds.
void SetMySqlBounds(const MySqlWaitBounds& bounds);

// Runs argv once (argv[0] a full path) with the files, waiting at most timeout and MySqlBounds().idle
// without progress; the stop ends it. server names where the client connects: a failure to reach it or a
// run ended for want of an answer says so.
MySqlToolRun RunBatchFile(const std::vector<std::string>& argv, const MySqlToolFiles& files,
                          std::chrono::milliseconds timeout, std::stop_token stop,
                          const std::string& server = "");

}  // namespace zov
