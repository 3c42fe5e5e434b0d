#include "engine/logs/StateLog.h"

#include <mutex>

#include "engine/util/CommonRandom.h"
#include "engine/util/CommonText.h"
#include "platform/Mailslot.h"
#include "platform/ProgramDir.h"

namespace zov {

namespace {

constexpr const char* kStateSlot = "StateLog";
constexpr const char* kUpdateSlot = "UpdateLog";
constexpr std::size_t kStatusBytes = 399;
constexpr std::size_t kStatusTokenLength = 6;

// The first and the latest status token of the running job: equal when at most one status was sent.
struct StatusTokens {
    std::mutex mutex;
    std::string first;
    std::string latest;
};

StatusTokens& Tokens() {
    static StatusTokens tokens;
    return tokens;
}

}  // namespace

bool WriteStateLog(const std::string& text) {
    {
        StatusTokens& tokens = Tokens();
        std::lock_guard lock(tokens.mutex);
        tokens.latest = MakeRandomToken(kStatusTokenLength);
        if (tokens.first.empty()) tokens.first = tokens.latest;
    }
    std::string message(CutUtf8(text, kStatusBytes));
    message += '\0';
    return MailslotWrite(ProgramDir(), kStateSlot, message);
}

void EndStateLog() {
    StatusTokens& tokens = Tokens();
    std::lock_guard lock(tokens.mutex);
    if (tokens.first.empty() || tokens.first == tokens.latest) MailslotWrite(ProgramDir(), kStateSlot, "");
    tokens.first.clear();
}

bool WriteUpdateLog(int notice) {
    std::string message = "<cmd>" + std::to_string(notice) + "</cmd>";
    message += '\0';
    return MailslotWrite(ProgramDir(), kUpdateSlot, message);
}

}  // namespace zov
