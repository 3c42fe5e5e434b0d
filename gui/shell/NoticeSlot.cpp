#include "gui/shell/NoticeSlot.h"

#include <chrono>
#include <memory>
#include <optional>

#include "gui/shell/SingleInstance.h"
#include "platform/Clock.h"
#include "platform/Mailslot.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr auto kReceiveStep = 200ms;
constexpr auto kBindRetry = 1000ms;
// The most messages one batch takes, so a flood still reaches the window in steps.
constexpr std::size_t kBatchLimit = 64;

std::unique_ptr<MailslotReader> BindSlot(const std::string& programDir, const std::string& slot) {
    const FileLock* lock = HeldInstanceLock();
    auto reader = lock != nullptr ? std::make_unique<MailslotReader>(programDir, slot, *lock)
                                  : std::make_unique<MailslotReader>(programDir, slot);
    return reader->bound() ? std::move(reader) : nullptr;
}

}  // namespace

std::string NoticeText(const std::string& message) {
    const std::size_t end = std::min({message.find('\0'), message.size(), kNoticeBytes - 1});
    return message.substr(0, end);
}

void RunNoticeSlot(const std::stop_token& stop, const std::string& programDir, const std::string& slot,
                   std::atomic<bool>& bound, const std::function<void(std::vector<std::string>)>& onBatch) {
    std::unique_ptr<MailslotReader> reader;
    while (!stop.stop_requested() && !(reader = BindSlot(programDir, slot))) {
        if (!SleepUnlessStopped(stop, kBindRetry)) return;
    }
    if (!reader) return;
    bound = true;
    while (!stop.stop_requested()) {
        std::optional<std::string> message = reader->Receive(kReceiveStep);
        if (!message) continue;
        std::vector<std::string> batch{NoticeText(*message)};
        while (batch.size() < kBatchLimit && (message = reader->Receive(0ms)))
            batch.push_back(NoticeText(*message));
        onBatch(std::move(batch));
    }
    bound = false;
}

}  // namespace zov::gui
