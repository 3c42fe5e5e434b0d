#include "gui/shell/UpdateCheck.h"

#include <chrono>

#include "engine/util/CommonFiles.h"
#include "engine/util/CommonText.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/UpdateClient.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/ColorRef.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr const char* kLabel = "qelzov";
constexpr const char* kVersion = "3.5";
constexpr auto kStartDelay = 2000ms;
constexpr std::size_t kShownReplyBytes = 200;
constexpr std::size_t kShortestVersion = 1;
constexpr std::size_t kShortestText = 5;

// The first bytes of a text, never cut inside a UTF-8 character.
std::string Head(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return text.substr(0, bytes);
}

std::string WithLineBreaks(std::string text) {
    for (std::size_t at = text.find("<br>"); at != std::string::npos; at = text.find("<br>", at + 1))
        text.replace(at, 4, "\n");
    return text;
}

}  // namespace

QColor ColorFromCode(const QString& code) {
    if (code == "1") return ColorFromRef(0x0000FF);
    if (code == "2" || code == "6") return ColorFromRef(0xFF0000);
    if (code == "3") return ColorFromRef(0x008000);
    if (code == "4") return ColorFromRef(0x00FFFF);
    if (code == "5") return ColorFromRef(0xFFFFFF);
    return ColorFromRef(0x000000);
}

UpdateCheck::UpdateCheck(QWidget* owner) : owner_(owner) {}

UpdateCheck::~UpdateCheck() {
    worker_.request_stop();
    if (worker_.joinable()) worker_.join();
}

void UpdateCheck::Start(bool verbose) {
    if (running_.exchange(true)) return;
    if (worker_.joinable()) worker_.join();
    emit checking(true);
    const bool withOs = firstStart_.load();
    worker_ = std::jthread([this, verbose, withOs](std::stop_token stop) {
        std::string reply;
        if (SleepUnlessStopped(stop, kStartDelay)) {
            reply = LIB_CQelAuthAPI().GetNewVer(kLabel, kVersion, UsageCounters().BuildReport(), withOs,
                                                !verbose, "", stop);
        }
        if (stop.stop_requested()) return;
        QMetaObject::invokeMethod(
            this,
            [this, reply, verbose] {
                Finish(reply, verbose);
                running_.store(false);
                emit checking(false);
            },
            Qt::QueuedConnection);
    });
}

void UpdateCheck::Finish(std::string reply, bool verbose) {
    using Icon = Prompter::Icon;
    if (reply.empty() || reply == "x") {
        if (verbose)
            ShowBox(owner_, "检查升级信息获取数据失败，请检查网络是否畅通。", "Velmorand", Icon::Error);
        return;
    }
    if (reply.find("</status>") == std::string::npos) {
        if (verbose)
            ShowBox(owner_, Q("检查升级信息数据返回错误：\n" + Head(reply, kShownReplyBytes)), "Velmorand",
                    Icon::Error);
        return;
    }
    ToLower(reply);
    auto value = [&reply](const std::string& tag) {
        return TextBetween(reply, "<" + tag + ">", "</" + tag + ">");
    };
    const std::string status = value("status");
    const std::string upmsg = value("upmsg");
    const std::string newver = value("newver");
    const std::string upurl = value("upurl");
    const std::string ads = value("ads");
    const std::string errmsg = value("errmsg");
    const std::string errurl = value("errurl");

    if (verbose && IsRealFolder(ProgramDir() + "debug"))
        ShowBox(owner_, Q(reply), "调试模式返回数据", Icon::Information);
    emit bannerText(Q(ads));

    if (status == "1") {
        UsageCounters().Clear();
        firstStart_.store(false);
        if (!verbose || newver.size() <= kShortestVersion) return;
        if (newver > kVersion) {
            const QString message = Q(WithLineBreaks(upmsg) + "\n\n");
            if (upurl.size() > kShortestText) {
                if (ShowBox(owner_, message, "升级提示", Icon::Question, Prompter::Buttons::YesNo,
                            Prompter::Answer::Yes) == Prompter::Answer::Yes)
                    OpenWebAddress(upurl, owner_);
            } else {
                ShowBox(owner_, message, "新版提示", Icon::Information);
            }
        } else {
            ShowBox(owner_, Q(std::string("当前版本:") + kVersion + " 已经是最新版本，无需升级。"),
                    "Velmorand", Icon::Information);
        }
    } else if (status == "0" && verbose && errmsg.size() > kShortestText) {
        const QString message = Q(WithLineBreaks(errmsg));
        if (errurl.size() > kShortestText) {
            if (ShowBox(owner_, message, "提示", Icon::Question, Prompter::Buttons::YesNo,
                        Prompter::Answer::Yes) == Prompter::Answer::Yes)
                OpenWebAddress(errurl, owner_);
        } else {
            ShowBox(owner_, message, "提示", Icon::Warning);
        }
    }
}

void UpdateCheck::OpenProductPage() {
    UsageCounters().Add(Counter::AdvLink);
    OpenWebAddress(MakerPage("/?f=qelzov"), owner_);
}

void UpdateCheck::OpenMakerSite() {
    UsageCounters().Add(Counter::AdvLink);
    OpenWebAddress(MakerSite(), owner_);
}

}  // namespace zov::gui
