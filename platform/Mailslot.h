#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Mailslots: datagram sockets in the abstract namespace, named from the program folder and the slot
// name ("StateLog", "UpdateLog"), so installations and tests never collide.
namespace zov {

// The abstract socket name (without the leading NUL) of a slot of a program folder.
std::string MailslotName(const std::string& programDir, const std::string& slot);

// The one reader of a slot; a second reader of the same slot fails to bind.
class MailslotReader {
public:
    MailslotReader(const std::string& programDir, const std::string& slot);
    ~MailslotReader();
    MailslotReader(const MailslotReader&) = delete;
    MailslotReader& operator=(const MailslotReader&) = delete;

    bool bound() const { return fd_ >= 0; }
    // One whole message (possibly empty), or nullopt when none arrived within the timeout.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout);

private:
    int fd_ = -1;
};

// Sends one message without blocking. False when no reader exists (the message is dropped) or on error.
bool MailslotWrite(const std::string& programDir, const std::string& slot, std::string_view message);

}  // namespace zov
