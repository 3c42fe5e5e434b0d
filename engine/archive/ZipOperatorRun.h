#pragma once

#include <stop_token>
#include <string>
#include <vector>

// Running the archiver and what its exit codes mean.
namespace zov {

// The runs of the archiver at rarPath for one job (one CZipOperator): each run leaves its text in message
// and the archiver's exit code in lastCode, the members of that job's CZipOperator.
class ArchiverRun {
  public:
    ArchiverRun(const std::string& rarPath, const std::stop_token& stop, std::string& message, int& lastCode)
        : rarPath_(rarPath), stop_(stop), message_(message), lastCode_(lastCode) {}

    // See CZipOperator::RunRar.
    bool RunRar(const std::vector<std::string>& arguments, const std::string& password = "");
    // RunRar as a code: 0 on success, the exit code on failure, -1 when no exit code was had.
    int RunRarCode(const std::vector<std::string>& arguments, const std::string& password);

  protected:
    // Sets the message and returns false.
    bool Fail(std::string message);

    const std::string& rarPath_;
    // The job's stop: a run it ends fails.
    const std::stop_token& stop_;
    std::string& message_;
    int& lastCode_;
};

}  // namespace zov
