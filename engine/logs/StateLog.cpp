#include "engine/logs/StateLog.h"

#include "engine/util/CommonText.h"
#include "platform/Mailslot.h"
#include "platform/ProgramDir.h"

namespace zov {

namespace {

constexpr const char* kStateSlot = "StateLog";
constexpr const char* kUpdateSlot = "UpdateLog";
constexpr std::size_t kStatusBytes = 399;

}  // namespace

void StateLogSink::Status(const std::string& text) {
    ++linesSinceEnd_;
    std::string message(CutUtf8(text, kStatusBytes));
    message += '\0';
    MailslotWrite(programDir_, kStateSlot, message);
}

void StateLogSink::EndStatus() {
    if (linesSinceEnd_ <= 1) MailslotWrite(programDir_, kStateSlot, "");
    linesSinceEnd_ = 0;
}

bool WriteUpdateLog(int notice) {
    std::string message = "<cmd>" + std::to_string(notice) + "</cmd>";
    message += '\0';
    return MailslotWrite(ProgramDir(), kUpdateSlot, message);
}

}  // namespace zov
