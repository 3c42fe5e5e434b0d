#include "gui/shell/NoticeListeners.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "engine/util/CommonText.h"
#include "gui/shell/NoticeSlot.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr const char* kStateSlot = "StateLog";
constexpr const char* kUpdateSlot = "UpdateLog";
constexpr auto kStateHoldTime = 1000ms;

}  // namespace

std::vector<int> ChangedLogCategories(const std::vector<std::string>& notices) {
    std::vector<int> categories;
    for (const std::string& notice : notices) {
        const int value = std::atoi(TextBetween(notice, "<cmd>", "</cmd>").c_str());
        const int category = value & 0xFF;
        if (value == 0 || category < kFileLogCategory || category > kMySqlLogCategory) continue;
        if (std::find(categories.begin(), categories.end(), category) == categories.end())
            categories.push_back(category);
    }
    return categories;
}

StateLogListener::StateLogListener(QObject* parent) : QObject(parent) {}

StateLogListener::~StateLogListener() { Stop(); }

bool StateLogListener::Start() {
    if (thread_.joinable()) return false;
    thread_ = std::jthread([this, programDir = ProgramDir()](std::stop_token stop) {
        RunNoticeSlot(stop, programDir, kStateSlot, bound_, [this, &stop](std::vector<std::string> texts) {
            for (const std::string& text : texts) {
                if (stop.stop_requested()) return;
                QMetaObject::invokeMethod(
                    this, [this, line = QString::fromStdString(text)] { emit stateMessage(line); },
                    Qt::QueuedConnection);
                if (!text.empty()) SleepUnlessStopped(stop, kStateHoldTime);
            }
        });
    });
    return true;
}

void StateLogListener::Stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    thread_ = {};
}

UpdateLogListener::UpdateLogListener(QObject* parent) : QObject(parent) {}

UpdateLogListener::~UpdateLogListener() { Stop(); }

bool UpdateLogListener::Start() {
    if (thread_.joinable()) return false;
    thread_ = std::jthread([this, programDir = ProgramDir()](std::stop_token stop) {
        RunNoticeSlot(stop, programDir, kUpdateSlot, bound_, [this](std::vector<std::string> notices) {
            for (int category : ChangedLogCategories(notices)) {
                QMetaObject::invokeMethod(
                    this, [this, category] { emit logChanged(category); }, Qt::QueuedConnection);
            }
        });
    });
    return true;
}

void UpdateLogListener::Stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    thread_ = {};
}

}  // namespace zov::gui
