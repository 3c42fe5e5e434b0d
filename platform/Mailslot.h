#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileLock.h"

// Mailslots: datagram sockets with path names in the program folder's private "run/" (0700), so that no
// other user can bind, read or send to them and installations never collide. One socket file per slot
// ("StateLog", "UpdateLog"); a folder path of any length works.
namespace zov {

// The socket file of a slot of a program folder: "<program folder>run/<slot>.sock".
std::string MailslotPath(const std::string& programDir, const std::string& slot);

// The one reader of a slot. It binds the slot's socket file and removes it when it ends; while that file
// exists no other reader binds.
class MailslotReader {
  public:
    // Fails when the socket file exists, whether a reader is bound to it or it was left by one that died.
    MailslotReader(const std::string& programDir, const std::string& slot);
    // For the holder of the program's single-instance lock (held, and a lock file in the program folder's
    // run/): a socket file that no reader is bound to is removed first. Fails without such a lock.
    MailslotReader(const std::string& programDir, const std::string& slot, const FileLock& instanceLock);
    ~MailslotReader();
    MailslotReader(const MailslotReader&) = delete;
    MailslotReader& operator=(const MailslotReader&) = delete;

    bool bound() const { return fd_ >= 0; }
    // One whole message (possibly empty), or nullopt when none arrived within the timeout.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout);

  private:
    void Bind(const std::string& programDir, const std::string& slot, bool replaceStale);

    int fd_ = -1;
    std::string path_;  // the bound socket file
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// Sends one message without blocking. False when no reader exists (the message is dropped) or on error.
bool MailslotWrite(const std::string& programDir, const std::string& slot, std::string_view message);

}  // namespace zov
