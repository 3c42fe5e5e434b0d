#pragma once

#include <string>
#include <string_view>

namespace zov {

// A list file handed to the archiver: "qel_temp_<5 random characters>.ls" in the program folder, one full
// path a line. Made 0600, as only the service may read which files a backup holds; deleted with the object.
class DriverListFile {
  public:
    DriverListFile() = default;
    ~DriverListFile();
    DriverListFile(const DriverListFile&) = delete;
    DriverListFile& operator=(const DriverListFile&) = delete;

    // Makes the empty file; false when no name could be drawn or the file cannot be made.
    bool Create();
    // Appends line and a line end; false when it cannot be written.
    bool Append(std::string_view line);

    const std::string& path() const { return path_; }
    // No line was appended.
    bool empty() const { return empty_; }

  private:
    std::string path_;
    int fd_ = -1;
    bool empty_ = true;
};

}  // namespace zov
