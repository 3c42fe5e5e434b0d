#include "gui/shell/StartupSplash.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <chrono>

#include "engine/backup/Backup.h"
#include "engine/control/ServiceCtrl.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/ServiceRepair.h"
#include "gui/shell/StartupRepair.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/Resources.h"
#include "platform/Clock.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 420;
constexpr int kHeight = 260;
constexpr int kStartDelayMs = 100;
constexpr int kSplashBitmap = 207;
constexpr const char* kFontFamily = "WenQuanYi Micro Hei";
constexpr const char* kTimeFormat = "%Y-%m-%d %H:%M:%S";

bool LoadTaskStore() {
    TaskStore().SetFilePath(TaskDbPath());
    return TaskStore().Load();
}

QLabel* WhiteLabel(QWidget* parent, const QString& text, const QRect& where) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    QFont font(kFontFamily);
    font.setPixelSize(12);
    label->setFont(font);
    return label;
}

}  // namespace

CStartupDlg::CStartupDlg(QWidget* parent, Loader loader)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      loader_(loader ? std::move(loader) : Loader(LoadTaskStore)) {
    setFixedSize(kWidth, kHeight);
    setWindowTitle("Velmorand·Stowmeran - 启动中");
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progress");
    progress_->setGeometry(20, 222, 380, 10);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setStyleSheet(QString("QProgressBar { background: %1; border: 1px solid %2; }"
                                     "QProgressBar::chunk { background: %2; }")
                                 .arg(QColor(255, 255, 255).name(), QColor(131, 174, 164).name()));
    status_ = WhiteLabel(this, "启动中...", QRect(20, 198, 300, 18));
    status_->setObjectName("status");
    version_ = WhiteLabel(this, QString("V%1").arg(kProductVersion), QRect(350, 236, 60, 18));
    version_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

CStartupDlg::~CStartupDlg() {
    sequence_.request_stop();
    if (sequence_.joinable()) sequence_.join();
    if (loadThread_.joinable()) loadThread_.join();
}

CStartupDlg::Outcome CStartupDlg::Run() {
    exec();
    return outcome_;
}

void CStartupDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    QTimer::singleShot(kStartDelayMs, this, [this] {
        sequence_ = std::jthread([this](std::stop_token stop) { RunSequence(stop); });
    });
}

void CStartupDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), LoadBitmap(kSplashBitmap));
}

void CStartupDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CStartupDlg::closeEvent(QCloseEvent* event) {
    if (outcome_ == Outcome::Running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CStartupDlg::RunSequence(const std::stop_token& stop) {
    SetProgress(10);
    CBackup().RecoverEndedHandRuns();
    SleepFor(300ms);
    SetStartingStatus(0);
    SleepFor(200ms);
    const int state = GetServiceState(kBackupServiceName);
    SetProgress(20);
    if (state != kServiceRunning) RepairStep(stop);
    SetProgress(40);
    CServiceCtrl().SetRestartOnFailure(kBackupServiceName);
    SetProgress(50);
    SetStartingStatus(40);
    RecordProductKeys();
    SleepFor(300ms);
    SetProgress(60);
    SetStartingStatus(60);
    const Outcome loaded = WaitForLoad(stop);
    if (loaded != Outcome::Done) {
        Finish(loaded);
        return;
    }
    SetStartingStatus(70);
    for (int value : {80, 90, 100}) {
        SleepFor(100ms);
        SetProgress(value);
    }
    SetStartingStatus(99);
    SleepFor(500ms);
    Finish(Outcome::Done);
}

void CStartupDlg::RepairStep(const std::stop_token& stop) {
    SetStatus(QString("正在修复(%1%)...").arg(20));
    std::string message;
    const bool repaired = RepairServiceAtStart(message, stop);
    WriteSystemLog("启动时修复服务：" + message, true, true);
    if (repaired) {
        SetStartingStatus(30);
        return;
    }
    const QString why = QString::fromStdString(message);
    SetStatus(why + "。修复失败，无法自动备份");
    ShowErrorBox("服务修复失败：" + why + "。自动备份功能未启动", "错 误");
}

void CStartupDlg::RecordProductKeys() {
    const std::string now = FormatLocalTime(Now(), kTimeFormat);
    const IniFile config(ConfigIniPath());
    config.Write("name", "QEL", std::string(kProductName) + "V" + kProductVersion);
    config.Write("url", "QEL", MakerSite());
    // A file that cannot be read keeps its install time.
    const std::optional<std::string> installed = config.TryRead("install_time", "QEL");
    if (installed && installed->empty()) config.Write("install_time", "QEL", now);
}

CStartupDlg::Outcome CStartupDlg::WaitForLoad(const std::stop_token& stop) {
    loadThread_ = std::jthread([this] { loadState_ = loader_() ? kLoaded : kLoadFailed; });
    for (int poll = 0; poll < kLoadPolls && loadState_ == kLoadPending && !stop.stop_requested(); ++poll)
        SleepFor(std::chrono::milliseconds(kLoadPollMs));
    const int state = loadState_;
    if (state == kLoaded) return Outcome::Done;
    if (state == kLoadFailed) ShowErrorBox("程序初始化出错，无法读取配置文件", "错误");
    SetStatus("初始化失败！");
    ShowErrorBox("初始化失败：读取任务文件超时，程序即将退出", "错误");
    return state == kLoadFailed ? Outcome::LoadFailed : Outcome::TimedOut;
}

void CStartupDlg::SetStatus(const QString& text) {
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            status_->setText(text);
            emit statusShown(text);
        },
        Qt::QueuedConnection);
}

void CStartupDlg::SetStartingStatus(int percent) { SetStatus(QString("正在启动(%1%)...").arg(percent)); }

void CStartupDlg::SetProgress(int value) {
    QMetaObject::invokeMethod(
        progress_, [this, value] { progress_->setValue(value); }, Qt::QueuedConnection);
}

void CStartupDlg::Finish(Outcome outcome) {
    QMetaObject::invokeMethod(
        this,
        [this, outcome] {
            outcome_ = outcome;
            accept();
        },
        Qt::QueuedConnection);
}

void CStartupDlg::ShowErrorBox(const QString& text, const QString& caption) {
    QMetaObject::invokeMethod(
        this, [this, text, caption] { ShowBox(this, text, caption, Prompter::Icon::Error); },
        Qt::BlockingQueuedConnection);
}

}  // namespace zov::gui
