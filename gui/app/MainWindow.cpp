#include "gui/app/MainWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include "engine/files/CacheFolder.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/BackupLogDlg.h"
#include "gui/pages/FileBackupDlg.h"
#include "gui/pages/MSSqlBackupDlg.h"
#include "gui/pages/MysqlBackupDlg.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/AboutDialog.h"
#include "gui/shell/ArchiverCheck.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/SysSetupDlg.h"
#include "gui/shell/TaskStore.h"
#include "gui/shell/UpdateCheck.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/ButtonST.h"
#include "gui/widgets/ColorRef.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "gui/widgets/Resources.h"
#include "platform/Folders.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

constexpr int kWidth = 700;
constexpr int kHeight = 500;
constexpr QRect kPageRect(140, 68, 546, 403);
constexpr int kBackgroundBitmap = 146;
constexpr int kWindowIcon = 182;
constexpr const char* kFontFamily = "WenQuanYi Micro Hei";
constexpr int kMinBannerEntry = 8;
constexpr const char* kEntrySeparator = "{#}";
constexpr const char* kPieceSeparator = "{*}";
constexpr const char* kHelpPath = "/help/";
constexpr const char* kGuidePath = "/help/tutorial/zov/";
constexpr const char* kMakerName = "Velmorand";

QLabel* TextLabel(QWidget* parent, const QString& text, const QRect& where, const QColor& color) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    QFont font(kFontFamily);
    font.setPixelSize(12);
    label->setFont(font);
    return label;
}

void SetTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

// A task page of the main window, hidden until its tab is chosen, its log view following the log notices.
void PlaceTaskPage(TaskPage* page, const char* name, UpdateLogListener& notices) {
    page->setObjectName(name);
    page->setGeometry(kPageRect);
    page->hide();
    QObject::connect(&notices, &UpdateLogListener::logChanged, page->logPage(), &CBackupLogDlg::OnLogChanged);
}

}  // namespace

CStowmeranDlg::CStowmeranDlg(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(kWidth, kHeight);
    normalFont_ = QFont(kFontFamily);
    normalFont_.setPixelSize(12);
    boldFont_ = normalFont_;
    boldFont_.setWeight(QFont::ExtraBold);
    background_ = LoadBitmap(kBackgroundBitmap);
    setWindowIcon(LoadIcon(kWindowIcon));
    updateCheck_ = new UpdateCheck(this);
    restoreEngine_ = new RestoreEngine(this);
    bannerTimer_ = new QTimer(this);
    rarTimer_ = new QTimer(this);
    // The daily sections first, so that the file page reports only the runs at once of this day.
    ResetDailySections();
    BuildControls();
    InstallDialogKeyFilter(this);
    StartUp();
}

CStowmeranDlg::~CStowmeranDlg() {
    updateLog_.Stop();
    cacheCleanUp_.request_stop();
    if (cacheCleanUp_.joinable()) cacheCleanUp_.join();
}

void CStowmeranDlg::BuildControls() {
    // Pages in the order they are made; the settings page shows first.
    auto* sqlServer = new CMSSqlBackupDlg(this);
    PlaceTaskPage(sqlServer, "sqlServerPage", updateLog_);
    pages_[int(Page::SqlServer)] = sqlServer;
    auto* files = new CFileBackupDlg(this);
    PlaceTaskPage(files, "filePage", updateLog_);
    pages_[int(Page::Files)] = files;
    auto* mySql = new CMysqlBackupDlg(this);
    PlaceTaskPage(mySql, "mySqlPage", updateLog_);
    mySqlServerFound_ = mySql->serverFound();
    mySql->setEnabled(mySqlServerFound_);
    pages_[int(Page::MySql)] = mySql;
    auto* settings = new CSysSetupDlg(this);
    settings->setObjectName("settingsPage");
    settings->setGeometry(kPageRect);
    pages_[int(Page::Settings)] = settings;

    settingsTab_ = new CButtonST("系统设置", this);
    filesTab_ = new CButtonST("文件备份", this);
    sqlServerTab_ = new CButtonST(" MSSQL备份", this);
    mySqlTab_ = new CButtonST("MySQL备份", this);
    aboutButton_ = new CButtonST("关于我们", this);
    helpButton_ = new CButtonST("使用帮助", this);
    const struct {
        CButtonST* button;
        const char* name;
        QRect where;
        int icon;
        const char* tooltip;
    } buttons[] = {
        {settingsTab_, "settingsTab", {16, 80, 116, 56}, 202, "系统全局设置"},
        {filesTab_,
         "filesTab",
         {16, 150, 116, 56},
         183,
         "可进行文件备份相关操作，包括计划任务的增加、删除、修改、临时执行和查看日志等。"},
        {sqlServerTab_,
         "sqlServerTab",
         {16, 220, 116, 56},
         184,
         "可进行SQL Server备份相关操作，包括计划任务的增加、删除、修改、临时执行和查看日志等"},
        {mySqlTab_,
         "mySqlTab",
         {16, 290, 116, 56},
         185,
         "可进行MySQL备份相关操作，包括计划任务的增加、删除、修改、临时执行和查看日志等"},
        {aboutButton_, "aboutButton", {16, 372, 116, 40}, 191, "了解更多Velmorand产品"},
        {helpButton_, "helpButton", {16, 418, 116, 40}, 192, "了解如何使用本软件"},
    };
    for (const auto& b : buttons) {
        b.button->setObjectName(b.name);
        b.button->setGeometry(b.where);
        b.button->setFont(normalFont_);
        b.button->SetIcon(b.icon);
        b.button->SetTooltipText(b.tooltip);
        b.button->SetTransparent();
        b.button->SetDrawBorder(false);
        b.button->setCursor(Qt::PointingHandCursor);
    }
    currentTab_ = settingsTab_;
    settingsTab_->setFont(boldFont_);
    connect(settingsTab_, &QPushButton::clicked, this, [this] { ShowPage(Page::Settings, settingsTab_); });
    connect(filesTab_, &QPushButton::clicked, this, [this] { ShowPage(Page::Files, filesTab_); });
    connect(sqlServerTab_, &QPushButton::clicked, this,
            [this] { ShowArchiverPage(Page::SqlServer, sqlServerTab_); });
    connect(mySqlTab_, &QPushButton::clicked, this, [this] { ShowArchiverPage(Page::MySql, mySqlTab_); });
    connect(aboutButton_, &QPushButton::clicked, updateCheck_, &UpdateCheck::OpenProductPage);
    connect(helpButton_, &QPushButton::clicked, this, &CStowmeranDlg::OpenHelpPage);

    guide_ = TextLabel(this, "操作指南", {560, 44, 56, 18}, ColorFromRef(0xFF0000));
    guide_->setObjectName("guideLink");
    updateLink_ = TextLabel(this, "升级检查", {626, 44, 56, 18}, ColorFromRef(0xFF0000));
    updateLink_->setObjectName("updateLink");
    banner_ = TextLabel(this, "", {140, 476, 370, 18}, QColor(0, 0, 0));
    banner_->setObjectName("banner");
    dot_ = TextLabel(this, "·", {512, 476, 8, 18}, QColor(11, 110, 18));
    maker_ = TextLabel(this, kMakerName, {522, 476, 80, 18}, QColor(11, 110, 18));
    maker_->setObjectName("makerLink");
    version_ = TextLabel(this, QString("版本：V%1").arg(kProductVersion), {606, 8, 86, 18}, Qt::white);
    version_->setObjectName("version");
    for (QLabel* link : {guide_, updateLink_, banner_, dot_, maker_}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    connect(updateCheck_, &UpdateCheck::bannerText, this, &CStowmeranDlg::SetBannerEntries);
    connect(updateCheck_, &UpdateCheck::checking, this,
            [this](bool active) { updateLink_->setEnabled(!active); });
    connect(bannerTimer_, &QTimer::timeout, this, &CStowmeranDlg::RotateBanner);
    connect(rarTimer_, &QTimer::timeout, this, &CStowmeranDlg::PollArchiver);
    mySqlTab_->setEnabled(mySqlServerFound_);
}

void CStowmeranDlg::StartUp() {
    UsageCounters().Load();
    setWindowTitle(MainCaption(QString::fromStdString(MakerSite())));
    SetDefaultCacheFolder();
    ReadSetupFlag();
    updateLog_.Start();
    defaultBannerText_ = QString("欢迎使用Velmorand·%1备份系统").arg(kProductName);
    defaultBannerLink_ = QString::fromStdString(MakerSite());
    SetBannerDefault();
    updateCheck_->Start(false);
    bannerTimer_->start(kBannerIntervalMs);
    CheckRarAtStart();
    CreateLogFolders();
    StartCacheCleanUp();
}

void CStowmeranDlg::ResetDailySections() {
    const IniFile temp(TempIniPath());
    for (const char* section : {kSucceededSection, kFailedSection, kRunningSection, kTempTasksSection})
        temp.ResetDailySection(section);
}

void CStowmeranDlg::SetDefaultCacheFolder() {
    const IniFile temp(TempIniPath());
    if (temp.Read("Path", "CACHE").empty()) temp.Write("path", "CACHE", ProgramDir() + "cache");
}

void CStowmeranDlg::ReadSetupFlag() {
    const IniFile config(ConfigIniPath());
    config.Write("name", "QEL", std::string(kProductName) + "V" + kProductVersion);
    config.Write("url", "QEL", MakerSite());
    const bool firstSetup = config.Read("SetupFlag", "QEL") != "1";
    if (firstSetup) config.Write("SetupFlag", "QEL", "1");
    updateCheck_->SetFirstStart(firstSetup);
}

void CStowmeranDlg::CheckRarAtStart() {
    if (FindArchiver(this, true)) return;
    sqlServerTab_->setEnabled(false);
    mySqlTab_->setEnabled(false);
    rarTimer_->start(kRarPollMs);
}

void CStowmeranDlg::PollArchiver() {
    if (!FindArchiver(this, false)) return;
    sqlServerTab_->setEnabled(true);
    mySqlTab_->setEnabled(mySqlServerFound_);
    rarTimer_->stop();
}

void CStowmeranDlg::CreateLogFolders() {
    for (const char* folder : {"Log/Files", "Log/MySQL", "Log/SQL Server", "Log/UI"})
        CreateFolderChain(ProgramDir() + folder, kLogFolderMode);
}

void CStowmeranDlg::StartCacheCleanUp() {
    cacheCleanUp_ = std::jthread(
        [leftovers = CacheLeftovers()](std::stop_token stop) { DeleteCacheLeftovers(leftovers, stop); });
}

void CStowmeranDlg::ShowPage(Page target, CButtonST* tab) {
    QWidget* page = pages_[int(target)];
    if (page->isEnabled() && target != current_) {
        pages_[int(current_)]->hide();
        page->show();
        current_ = target;
    }
    if (tab != currentTab_) {
        currentTab_->setFont(normalFont_);
        currentTab_ = tab;
        tab->setFont(boldFont_);
    }
}

void CStowmeranDlg::ShowArchiverPage(Page target, CButtonST* tab) {
    if (FindArchiver(this, true)) ShowPage(target, tab);
}

int CStowmeranDlg::SetBannerEntries(const QString& adsText) {
    bannerEntries_.clear();
    for (const QString& entry : adsText.split(kEntrySeparator)) {
        if (entry.size() >= kMinBannerEntry) bannerEntries_.append(entry);
    }
    bannerNext_ = 0;
    if (bannerEntries_.isEmpty()) SetBannerDefault();
    return bannerEntries_.size();
}

void CStowmeranDlg::SetBannerDefault() {
    bannerLink_ = defaultBannerLink_;
    bannerText_ = defaultBannerText_;
    bannerColor_ = QColor(0, 0, 0);
    banner_->setText(bannerText_);
    SetTextColor(banner_, bannerColor_);
}

void CStowmeranDlg::RotateBanner() {
    if (bannerEntries_.isEmpty()) {
        SetBannerDefault();
        return;
    }
    if (bannerNext_ >= bannerEntries_.size()) bannerNext_ = 0;
    const QStringList pieces = bannerEntries_[bannerNext_++].split(kPieceSeparator, Qt::SkipEmptyParts);
    if (pieces.size() >= 3) {
        bannerText_ = pieces[0];
        bannerColor_ = ColorFromCode(pieces[1]);
        bannerLink_ = pieces[2];
    }
    banner_->setText(bannerText_);
    SetTextColor(banner_, bannerColor_);
}

void CStowmeranDlg::OpenBannerLink() {
    if (bannerLink_.isEmpty()) bannerLink_ = defaultBannerLink_;
    OpenWebAddress(bannerLink_.toStdString(), this);
}

void CStowmeranDlg::OpenHelpPage() {
    UsageCounters().Add(Counter::AdvLink);
    OpenWebAddress(MakerPage(kHelpPath), this);
}

void CStowmeranDlg::OpenGuidePage() {
    UsageCounters().Add(Counter::AdvLink);
    OpenWebAddress(MakerPage(kGuidePath), this);
}

void CStowmeranDlg::OpenProgramFolder() {
    UsageCounters().Add(Counter::OpenDir);
    OpenWithShell(this, ProgramDir(), "文件夹");
}

void CStowmeranDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CStowmeranDlg::RaiseFromOtherStart() {
    if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

bool CStowmeranDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return QWidget::eventFilter(watched, event);
    if (watched == banner_) {
        OpenBannerLink();
    } else if (watched == maker_ || watched == dot_) {
        updateCheck_->OpenMakerSite();
    } else if (watched == guide_) {
        OpenGuidePage();
    } else if (watched == updateLink_) {
        if (updateLink_->isEnabled()) updateCheck_->Start(true);
    }
    return true;
}

void CStowmeranDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (background_.isNull()) {
        painter.fillRect(rect(), Qt::white);
    } else {
        painter.drawPixmap(rect(), background_);
    }
}

void CStowmeranDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

void CStowmeranDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString("关于 Stowmeran..."), this, &CStowmeranDlg::ShowAbout);
    menu.addSeparator();
    menu.addAction(QString("打开程序目录"), this, &CStowmeranDlg::OpenProgramFolder);
    menu.addAction(QString("退出"), this, &QWidget::close);
    menu.exec(event->globalPos());
}

void CStowmeranDlg::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        SaveOnClose();
        emit closed();
    }
    event->accept();
}

void CStowmeranDlg::SaveOnClose() {
    CQelXML& store = TaskStore();
    if (store.IsLoaded() && store.HasUnsavedChanges()) store.Save();
    const IniFile temp(TempIniPath());
    const std::vector<std::string> keys = temp.GetTempTaskIds();
    const bool onlyDay = keys.empty() || (keys.size() == 1 && keys.front() == kDayKey);
    if (!onlyDay) temp.Write("", kTempTasksSection, "");
}

}  // namespace zov::gui
