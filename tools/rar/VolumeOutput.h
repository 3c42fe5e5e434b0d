#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/rar/ExitCode.h"
#include "tools/rar/MadeFiles.h"

namespace zov::rar {

// Where the archive's bytes go: one file, or volumes of a fixed size. Everything is written to temporary
// files beside the final names and renamed into place by Commit, so an aborted run leaves no partial archive
// and the volume numbers get the width that the final count needs. Archives are created 0600.
class VolumeOutput {
  public:
    // archive: the name from the command line; volumeBytes 0 writes one file. The folders and files it
    // creates are recorded in made.
    VolumeOutput(const std::string& archive, std::uint64_t volumeBytes, MadeFiles& made);
    ~VolumeOutput();  // discards whatever was not committed
    VolumeOutput(const VolumeOutput&) = delete;
    VolumeOutput& operator=(const VolumeOutput&) = delete;

    // Existing files that Commit will replace (the archive, or every volume of the same base name); the
    // walk must not take them into the archive.
    std::vector<std::string> FilesToReplace() const;

    // Each step returns kSuccess, or the exit code and a message: kCreateError when a file cannot be
    // created, kWriteError when writing fails, kUserBreak when a signal came.

    // Creates the folder and the first temporary file.
    ExitCode Open(std::string& error);
    // Appends bytes, starting a new volume whenever one is full.
    ExitCode Write(const void* data, std::size_t length, std::string& error);
    // Closes the files and gives them their final names.
    ExitCode Commit(std::string& error);
    // Removes the temporary files.
    void Discard();

  private:
    ExitCode StartVolume(std::string& error);
    ExitCode CloseCurrent(std::string& error);

    std::string single_;  // the archive's name when it is one file
    std::string base_;    // volume names are base_ + ".partN.rar"
    std::uint64_t volumeBytes_;
    MadeFiles& made_;
    std::vector<std::string> temporaries_;
    int fd_ = -1;
    std::uint64_t written_ = 0;  // bytes in the current volume
};

}  // namespace zov::rar
