#pragma once

#include "tools/rar/CommandLine.h"
#include "tools/rar/Reporter.h"

namespace zov::rar {

// Command a: stores the sources (each a folder with its whole tree, or one file) in a ZIP archive or volume
// set.
void RunAdd(const Options& options, Reporter& reporter);

}  // namespace zov::rar
