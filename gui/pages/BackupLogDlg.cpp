#include "gui/pages/BackupLogDlg.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <cstdlib>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/pages/DetailLogDlg.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/GuiUtilitiesFiles.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/widgets/ListLook.h"
#include "gui/widgets/MyButton.h"
#include "platform/Clock.h"

namespace zov::gui {

namespace {

constexpr const char* kLogSection = "LOG";
constexpr const char* kShowKey = "Show";
constexpr const char* kSaveKey = "Save";
constexpr int kDefaultDays = 2;
constexpr int kMinDays = 1;
constexpr int kMaxDays = 100;
constexpr int kRowHeight = 20;

// A days setting of config.ini: missing or 0 gives the default.
int StoredDays(const char* key) {
    const int days = std::atoi(IniFile(ConfigIniPath()).Read(key, kLogSection).c_str());
    return days == 0 ? kDefaultDays : days;
}

QLineEdit* AddDaysEdit(QWidget& page, const char* id, const char* label, int x, int days) {
    AddLabel(page, "", label, x, 8, 66, 20);
    auto* edit = AddEdit<QLineEdit>(page, id, {x + 66, 6, 40, 22});
    edit->setText(QString::number(days));
    return edit;
}

}  // namespace

CBackupLogDlg::CBackupLogDlg(LogViewConfig config, QWidget* parent)
    : QWidget(parent), config_(std::move(config)), reader_(config_.categoryText) {
    MakeWhitePage(*this);
    days_ = StoredDays(kShowKey);
    showDays_ = AddDaysEdit(*this, config_.showDaysId, "显示天数：", 8, days_);
    int x = 130;
    if (config_.keepDaysEdit) {
        keepDays_ = AddDaysEdit(*this, config_.keepDaysId, "保存天数：", x, StoredDays(kSaveKey));
        x += 122;
    }
    CMyButton* refresh = AddButton(*this, config_.refreshId, "刷 新", {x + 10, 4, 70, 26});
    autoRefresh_ = new QCheckBox("自动刷新", this);
    autoRefresh_->setObjectName(config_.autoRefreshId);
    autoRefresh_->setGeometry(x + 94, 6, 90, 22);
    autoRefresh_->setFont(PageFont(12));

    model_ = new LogRecordModel(config_.columns, this);
    list_ = new QTableView(this);
    list_->setObjectName(config_.listId);
    list_->setGeometry(0, 36, 520, 324);
    list_->setModel(model_);
    list_->setFont(PageFont(13));
    list_->setShowGrid(true);
    SetListLook(*list_, ItemLines::None);
    list_->setWordWrap(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    list_->horizontalHeader()->setHighlightSections(false);
    for (std::size_t i = 0; i < config_.columns.size(); ++i) {
        list_->setColumnWidth(static_cast<int>(i), config_.columns[i].width);
    }

    connect(refresh, &QPushButton::clicked, this, &CBackupLogDlg::Refresh);
    connect(list_, &QTableView::doubleClicked, this, &CBackupLogDlg::ShowDetail);
    connect(list_, &QWidget::customContextMenuRequested, this, &CBackupLogDlg::ShowMenu);
    firstLoad_.setSingleShot(true);
    connect(&firstLoad_, &QTimer::timeout, this, &CBackupLogDlg::Load);
    connect(&sizePoll_, &QTimer::timeout, this, &CBackupLogDlg::PollTodaysSize);
    firstLoad_.start(kFirstLoadMs);
    sizePoll_.start(kSizePollMs);
}

std::string CBackupLogDlg::DayFolder() const { return LogFolder() + config_.folder + "/"; }

void CBackupLogDlg::Load() {
    DayLogReader::Batch batch = reader_.Read(DayFolder(), days_, Now());
    if (batch.fromStart) model_->Clear();
    std::erase_if(batch.records, [this](const LogRecord& record) { return !config_.accepts(record); });
    model_->Append(std::move(batch.records));
    const int rows = model_->rowCount();
    if (rows == 0) return;
    const QModelIndex last = model_->index(rows - 1, 0);
    list_->scrollTo(last);
    list_->setCurrentIndex(last);
}

std::optional<int> CBackupLogDlg::DaysIn(QLineEdit* edit) {
    bool number = false;
    const int days = edit->text().trimmed().toInt(&number);
    if (number && days >= kMinDays && days <= kMaxDays) return days;
    ShowBox(this, QString("请输入一个在 %1 和 %2 之间的整数。").arg(kMinDays).arg(kMaxDays), "Stowmeran",
            Prompter::Icon::Warning);
    edit->setFocus();
    return std::nullopt;
}

void CBackupLogDlg::Refresh() {
    const std::optional<int> shown = DaysIn(showDays_);
    if (!shown) return;
    std::optional<int> kept;
    if (keepDays_ != nullptr && !(kept = DaysIn(keepDays_))) return;
    days_ = *shown;
    const IniFile config(ConfigIniPath());
    config.Write(kShowKey, kLogSection, std::to_string(days_));
    if (kept) config.Write(kSaveKey, kLogSection, std::to_string(*kept));
    reader_.Reset();
    firstLoad_.start(kFirstLoadMs);
    sizePoll_.start(kSizePollMs);
}

void CBackupLogDlg::OnLogChanged(int category) {
    if (category == config_.category && autoRefresh_->isChecked()) Load();
}

void CBackupLogDlg::PollTodaysSize() {
    if (!autoRefresh_->isChecked()) return;
    const std::int64_t size = GetFileSizeByStat(DayFolder() + FormatLocalTime(Now(), "%Y-%m-%d") + ".log");
    if (size == todaysSize_) return;
    todaysSize_ = size;
    Refresh();
}

void CBackupLogDlg::ShowDetail(const QModelIndex& index) {
    if (!index.isValid()) return;
    CDetailLogDlg detail(model_->Record(index.row()), config_.category, this);
    detail.exec();
}

void CBackupLogDlg::ShowMenu(const QPoint& at) {
    QMenu menu(this);
    menu.addAction("日志目录", this, &CBackupLogDlg::OpenLogFolder);
    menu.addAction("刷新", this, &CBackupLogDlg::Refresh);
    menu.exec(list_->viewport()->mapToGlobal(at));
}

void CBackupLogDlg::OpenLogFolder() { OpenWithShell(this, LogFolder() + config_.folder, "文件夹"); }

}  // namespace zov::gui
