#pragma once

#include <string>

// Programs this system runs as root (the archiver, the database tools, a database server asked for its
// settings), and processes it believes.
namespace zov {

// The real path of path (links resolved) when it is a program this system may run as root, else "": an
// executable regular file owned by root and writable by no one else, every folder above it owned by root
// and writable by no one else unless it is sticky (no one else can then replace the root-owned entry in
// it). Run the real path, not path: a link in another user's folder may be turned elsewhere meanwhile.
std::string TrustedProgramPath(const std::string& path);

// TrustedProgramPath(path) is not "". Another user's program, or one in or under a folder others may
// write to, is never run.
bool IsTrustedProgram(const std::string& path);

}  // namespace zov
