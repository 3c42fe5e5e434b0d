#pragma once

#include <atomic>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

// The reading end of one notice slot of the program folder (platform/Mailslot.h), run on a listener thread.
namespace zov::gui {

// A notice is text of at most this many bytes, its zero byte included.
inline constexpr std::size_t kNoticeBytes = 400;

// The text of one received message: its bytes up to the first zero byte, at most kNoticeBytes - 1 of them.
std::string NoticeText(const std::string& message);

// Runs until stop is requested: binds the slot (again every second while another reader holds it; bound
// tells whether it is bound now), then hands each batch of texts to onBatch: the message that arrived and
// those already waiting behind it, in order. Returns within a fraction of a second of the stop.
void RunNoticeSlot(const std::stop_token& stop, const std::string& programDir, const std::string& slot,
                   std::atomic<bool>& bound, const std::function<void(std::vector<std::string>)>& onBatch);

}  // namespace zov::gui
