#include "gui/shell/SysSetupStateDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include "engine/archive/ZipOperatorLookup.h"
#include "engine/files/FileOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "gui/shell/CacheSpace.h"
#include "gui/shell/FileChooser.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/LogResults.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/NoticeListeners.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/ServiceRepair.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/ButtonST.h"
#include "gui/widgets/ColorRef.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "platform/TrustedProgram.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr const char* kCacheKey = "Path";
constexpr const char* kCacheSection = "CACHE";
constexpr const char* kRarKey = "rar_path";
constexpr const char* kSystemSection = "SYSTEM";
constexpr const char* kArchiverName = "rar";
constexpr auto kShortestStateText = 1000ms;

// An archiver path: an existing file whose name ends in "rar" (any case), so "unrar" passes and "rar5"
// does not.
bool IsArchiverPath(const std::string& path) {
    return IsRegularFile(path) && path.size() >= 3 &&
           LowerCopy(path.substr(path.size() - 3)) == kArchiverName;
}

// Doubled separators made single.
std::string WithSingleSeparators(std::string path) {
    for (std::size_t at = path.find("//"); at != std::string::npos; at = path.find("//", at))
        path.erase(at, 1);
    return path;
}

CButtonST* AddButton(QWidget& page, const char* id, const QString& text, int x, int y) {
    auto* button = new CButtonST(text, &page);
    button->setObjectName(id);
    button->setGeometry(x, y, 56, 26);
    return button;
}

QLineEdit* AddEdit(QWidget& page, const char* id, int x, int y) {
    auto* edit = new QLineEdit(&page);
    edit->setObjectName(id);
    edit->setGeometry(x, y, 300, 26);
    edit->setFont(PageFont(12));
    return edit;
}

// A clickable label: clicked() on a left-button release.
class LinkLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> onClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && onClick) onClick();
    }
};

}  // namespace

CSysSetupStateDlg::CSysSetupStateDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("226");
    MakeWhitePage(*this);

    counts_ = AddLabel(*this, "1431", "【今日备份：成功 0 项，失败 0 项】", 30, 22, 460, 20);
    counts_->setFont(PageFont(14, true));
    QLabel* stateLabel = AddLabel(*this, "1432", "当前状态", 30, 60, 64, 20);
    stateLabel->setAutoFillBackground(true);
    state_ = AddLabel(*this, "1433", "[备份任务空闲]", 100, 60, 390, 20);

    AddLabel(*this, "rarLabel", "压缩程序rar路径：", 30, 110, 300, 20);
    rarEdit_ = AddEdit(*this, "1122", 30, 134);
    connect(AddButton(*this, "1195", "浏览", 340, 134), &CButtonST::clicked, this,
            &CSysSetupStateDlg::BrowseRar);
    connect(AddButton(*this, "1167", "打开", 402, 134), &CButtonST::clicked, this,
            &CSysSetupStateDlg::OpenRarFolder);
    auto* download = new LinkLabel("下载", this);
    download->setObjectName("1438");
    download->setGeometry(464, 138, 40, 20);
    download->setFont(PageFont(12));
    download->setCursor(Qt::PointingHandCursor);
    SetTextColor(*download, ColorFromRef(0xFF0000));
    download->onClick = [this] { DownloadRar(); };

    AddLabel(*this, "cacheLabel", "存放临时文件的Cache目录：", 30, 184, 300, 20);
    cacheEdit_ = AddEdit(*this, "1430", 30, 208);
    connect(AddButton(*this, "1434", "浏览", 340, 208), &CButtonST::clicked, this,
            &CSysSetupStateDlg::BrowseCache);
    connect(AddButton(*this, "1435", "打开", 402, 208), &CButtonST::clicked, this,
            &CSysSetupStateDlg::OpenCache);

    CButtonST* save = AddButton(*this, "1436", "保存", 232, 290);
    save->setGeometry(222, 290, 76, 28);
    connect(save, &CButtonST::clicked, this, &CSysSetupStateDlg::Save);

    rarPath_ = Q(GetRarPath());
    cacheFolder_ = Q(IniFile(TempIniPath()).Read(kCacheKey, kCacheSection));
    CheckCacheFolder();
    ShowMembers();

    connect(&countsTimer_, &QTimer::timeout, this, &CSysSetupStateDlg::ShowTodayCounts);
    countsTimer_.start(5000);
    spaceTimer_.setSingleShot(true);
    connect(&spaceTimer_, &QTimer::timeout, this, &CSysSetupStateDlg::WarnCacheSpace);
    spaceTimer_.start(1000);
    connect(&idleTimer_, &QTimer::timeout, this, [this] { ShowState(""); });
    idleTimer_.start(2000);

    auto* listener = new StateLogListener(this);
    connect(listener, &StateLogListener::stateMessage, this, &CSysSetupStateDlg::ShowState);
    listener->Start();
}

void CSysSetupStateDlg::CheckCacheFolder() {
    const std::string old = cacheFolder_.toStdString();
    if (IsDirectory(old)) return;
    std::string message = "Cache目录[" + old + "]不存在!\n\n将重置为[";
    const std::string folder = ProgramDir() + "cache/";
    cacheFolder_ = Q(folder);
    IniFile(TempIniPath()).Write(kCacheKey, kCacheSection, folder);
    MakeFolder(folder, 0700);
    if (IsDirectory(folder)) {
        if (!old.empty()) ShowBox(this, Q(message + folder + "]"), "Velmorand", Prompter::Icon::Information);
    } else {
        ShowBox(this, Q(message + folder + "]失败，请手动创建该文件夹。"), "Velmorand",
                Prompter::Icon::Error);
    }
}

void CSysSetupStateDlg::ShowMembers() {
    rarEdit_->setText(rarPath_);
    cacheEdit_->setText(cacheFolder_);
}

void CSysSetupStateDlg::TakeEdits() {
    rarPath_ = rarEdit_->text();
    cacheFolder_ = cacheEdit_->text();
}

void CSysSetupStateDlg::ShowState(const QString& text) {
    const auto now = std::chrono::steady_clock::now();
    if (!text.isEmpty()) {
        state_->setText(text);
        textShownAt_ = now;
        return;
    }
    if (now - textShownAt_ < kShortestStateText) return;
    state_->setText(ServiceProgramRuns() ? "[备份任务空闲]" : "[错误：系统异常，请修复]");
}

void CSysSetupStateDlg::ShowTodayCounts() {
    const LogResults results = TodayResults();
    counts_->setText(
        QString("【今日备份：成功 %1 项，失败 %2 项】").arg(results.successes).arg(results.failures));
}

void CSysSetupStateDlg::WarnCacheSpace() {
    spaceTimer_.stop();
    const std::string folder = cacheFolder_.toStdString();
    const std::optional<std::uint64_t> free = FreeGiB(folder);
    if (!free || *free >= kCacheSpaceWarningGiB) return;
    ShowBox(this,
            Q("Cache目录[" + folder + "]所在磁盘存储空间不多了（不足3G）。\n\n请清理磁盘或者更换Cache目录。"),
            "警告", Prompter::Icon::Warning);
}

bool CSysSetupStateDlg::WriteCacheFolder(bool asEntered) {
    std::string folder = cacheFolder_.toStdString();
    if (!asEntered) {
        if (ComparePaths(folder, ProgramDir()) == 2) folder = ProgramDir() + "cache/";
        folder = WithSingleSeparators(folder);
    }
    return IniFile(TempIniPath()).Write(kCacheKey, kCacheSection, folder);
}

void CSysSetupStateDlg::Save() {
    TakeEdits();
    const std::string rar = rarPath_.toStdString();
    if (!IsArchiverPath(rar)) {
        ShowBox(this, "设置的rar路径无效", "错误", Prompter::Icon::Error);
        return;
    }
    // The service runs the archiver as root: another user must not be able to replace it.
    if (!IsTrustedProgram(rar)) {
        ShowBox(this,
                "设置的rar路径无效：它必须是只有root可以修改的可执行文件（属于root，组和其他用户不可写入，"
                "所在文件夹也一样）。",
                "错误", Prompter::Icon::Error);
        return;
    }
    const std::string folder = cacheFolder_.toStdString();
    if (!IsAbsolutePath(folder)) {
        ShowBox(this, "设置的cache目录无效：请填写以“/”开头的绝对路径。", "错误", Prompter::Icon::Error);
        return;
    }
    if (!IsDirectory(folder) && CFileOperator().CreateFolder(folder) != 1) {
        ShowBox(this, "设置的cache目录无效", "错误", Prompter::Icon::Error);
        return;
    }
    const std::optional<std::uint64_t> free = FreeGiB(folder);
    if (!free) {
        ShowBox(this, "设置的cache目录无效", "错误", Prompter::Icon::Error);
        return;
    }
    bool written = true;
    if (*free < kCacheSpaceWarningGiB) {
        const auto answer =
            ShowBox(this,
                    "设置的cache目录所在磁盘空间剩余不多了（不足3G），可能无法正常备份。\n\n点击“是”继续使用"
                    "此目录，点击“否”"
                    "重新设置。",
                    "警告", Prompter::Icon::Warning, Prompter::Buttons::YesNo, Prompter::Answer::No);
        if (answer != Prompter::Answer::Yes) return;
        written = WriteCacheFolder(true);
    } else {
        written = WriteCacheFolder(false);
    }
    written = IniFile(TempIniPath()).Write(kRarKey, kSystemSection, rar) && written;
    if (!written) {
        ShowBox(this, "设置保存失败，请检查软件安装目录是否可写。", "错误", Prompter::Icon::Error);
        return;
    }
    cacheFolder_ = Q(IniFile(TempIniPath()).Read(kCacheKey, kCacheSection));
    ShowBox(this, "设置保存成功！\n\n如果SQL Server和MySQL备份不可用，请重启应用程序。", "成功",
            Prompter::Icon::Information);
    ShowMembers();
}

void CSysSetupStateDlg::BrowseRar() {
    const QString chosen = ChooseFile(this, "rar", rarEdit_->text(), "rar (*rar)");
    if (chosen.isEmpty()) return;
    rarPath_ = chosen;
    rarEdit_->setText(rarPath_);
}

void CSysSetupStateDlg::OpenRarFolder() {
    UsageCounters().Add(Counter::OpenDir);
    OpenInExplorer(this, rarEdit_->text().toStdString());
}

void CSysSetupStateDlg::BrowseCache() {
    const QString chosen = ChooseFolder(this, "请选择存放临时文件的文件夹", cacheEdit_->text());
    if (chosen.isEmpty()) return;
    cacheFolder_ = chosen;
    cacheEdit_->setText(cacheFolder_);
}

void CSysSetupStateDlg::OpenCache() {
    const std::string folder = cacheEdit_->text().toStdString();
    if (!IsDirectory(folder)) return;
    UsageCounters().Add(Counter::OpenDir);
    OpenWithShell(this, folder, "文件夹");
}

void CSysSetupStateDlg::DownloadRar() {
    ShowBox(this, Q("下载rar.exe后，请将其放在软件安装目录[" + ProgramDir() + "]下。"), "提示",
            Prompter::Icon::Information);
    UsageCounters().Add(Counter::AdvLink);
    OpenWebAddress(RarDownloadPage(), this);
}

}  // namespace zov::gui
