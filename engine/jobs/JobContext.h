#pragma once

#include <functional>
#include <stop_token>
#include <string>

#include "engine/jobs/Asker.h"
#include "engine/jobs/StatusSink.h"

namespace zov {

// What the caller gives every long job: where its status lines go, who answers its questions, and the
// stop that cuts it short. A stop ends the archiver the job runs and its copies between two files; the
// job then returns failure. The tools a job uses (archiver driver, copies) take only its stop token (and, in
// tests, the hook below).
struct JobContext {
    StatusSink& status;
    Asker& asker;
    std::stop_token stop;
    // Tests only: called with the target path of each entry a restore is about to write, and of the
    // folder an archive is about to be extracted into, to change the target between two steps.
    std::function<void(const std::string&)> beforeEntry{};
};

}  // namespace zov
