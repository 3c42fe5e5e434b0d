#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <string>

namespace zov::test {

// A folder bound read-only over itself for the life of the object, as a snapshot mount is, in this test
// process's own mount namespace: the process and the programs it starts see it read-only, even as root.
class ReadOnlyMount {
  public:
    explicit ReadOnlyMount(std::string folder) : folder_(std::move(folder)) {
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return;
        }
        bound_ = true;
        readOnly_ =
            ::mount(nullptr, folder_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyMount() {
        if (bound_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

    // False when mounting is not permitted here.
    bool readOnly() const { return readOnly_; }

  private:
    std::string folder_;
    bool bound_ = false;
    bool readOnly_ = false;
};

}  // namespace zov::test
