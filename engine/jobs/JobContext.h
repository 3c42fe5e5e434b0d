#pragma once

#include <stop_token>

#include "engine/jobs/Asker.h"
#include "engine/jobs/StatusSink.h"

namespace zov {

// What the caller gives every long job: where its status lines go, who answers its questions, and the
// stop that cuts it short. A stop ends the archiver the job runs and its copies between two files; the
// job then returns failure. The tools a job uses (archiver driver, copies) take only its stop token.
struct JobContext {
    StatusSink& status;
    Asker& asker;
    std::stop_token stop;
};

}  // namespace zov
