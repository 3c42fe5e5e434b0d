#pragma once

#include "tools/rar/CommandLine.h"
#include "tools/rar/Reporter.h"

namespace zov::rar {

// Commands x (extract into the destination folder) and t (read and check everything, write nothing).
void RunExtract(const Options& options, Reporter& reporter);

}  // namespace zov::rar
