#include "gui/pages/FileBackupSetupExtDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <algorithm>

#include "gui/pages/FilterHintDlg.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"

namespace zov::gui {

namespace {

constexpr const char* kDefaultBasePeriod = "30";
constexpr const char* kDefaultVolumeSize = "2048";

QLabel* AddNote(QWidget& page, const char* id, const QString& text, int x, int y, int width, int height) {
    QLabel* note = AddLabel(page, id, text, x, y, width, height);
    note->setWordWrap(true);
    SetTextColor(*note, QColor(192, 192, 192));
    return note;
}

QRadioButton* AddGroupedRadio(QWidget& page, QButtonGroup& group, const char* id, const QString& text,
                              const QRect& where) {
    QRadioButton* radio = AddRadio(page, id, text, where);
    group.addButton(radio);
    return radio;
}

}  // namespace

CFileBackupSetupExtDlg::CFileBackupSetupExtDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("176");
    MakeWhitePage(*this);
    SetTaskTooltipLook(*this);
    auto* filterGroup = new QButtonGroup(this);
    AddLabel(*this, "", "备份筛选：", 10, 10, 76, 24);
    allFiles_ = AddGroupedRadio(*this, *filterGroup, "1124", "备份全部文件", {86, 10, 110, 24});
    excludeFiles_ = AddGroupedRadio(*this, *filterGroup, "1125", "排除以下文件", {196, 10, 110, 24});
    includeFiles_ = AddGroupedRadio(*this, *filterGroup, "1126", "备份以下文件", {306, 10, 110, 24});
    patterns_ = new QPlainTextEdit(this);
    patterns_->setObjectName("1127");
    patterns_->setGeometry(86, 40, 240, 90);
    patterns_->setFont(PageFont(12));
    patterns_->setToolTip(
        "请输入要备份(排除)的文件类型，支持使用通配符(*)。\n多个文件类型之间使用竖线(|)分隔。\n示例*.cpp|.h");
    AddNote(*this, "1380",
            "多个后缀名之间用竖线“|”分隔，如：*.html|*.asp|*.jpg；后缀名中不能含有 < > | \" ? 字符。", 334,
            40, 146, 72);
    helpLink_ = AddLabel(*this, "1437", "筛选说明..", 334, 110, 80, 20);
    SetTextColor(*helpLink_, QColor(0, 0, 255));
    helpLink_->setCursor(Qt::PointingHandCursor);
    helpLink_->installEventFilter(this);

    auto* diffGroup = new QButtonGroup(this);
    AddLabel(*this, "", "差异备份：", 10, 144, 76, 24);
    diffOn_ = AddGroupedRadio(*this, *diffGroup, "1133", "开启", {86, 144, 60, 24});
    diffOff_ = AddGroupedRadio(*this, *diffGroup, "1134", "关闭", {146, 144, 60, 24});
    AddLabel(*this, "", "更新周期：", 10, 176, 76, 24);
    basePeriod_ = AddEdit<QLineEdit>(*this, "1122", {86, 176, 60, 24});
    basePeriod_->setToolTip("模板库的更新周期（单位：天），请输入一个1-100的整数，建议设置为7-30");
    AddLabel(*this, "", "天", 150, 176, 20, 24);
    AddNote(*this, "1381", "模板库更新周期，取值为1-100的整数", 176, 176, 300, 24);

    volumes_ = new QCheckBox("开启分卷压缩", this);
    volumes_->setObjectName("1425");
    volumes_->setGeometry(10, 208, 130, 24);
    volumes_->setFont(PageFont(12));
    AddLabel(*this, "", "分卷大小：", 10, 238, 76, 24);
    volumeSize_ = AddEdit<QLineEdit>(*this, "1430", {86, 238, 60, 24});
    AddLabel(*this, "", "MB", 150, 238, 24, 24);
    AddNote(*this, "", "每个分卷的大小，建议大小为2GB（即2048MB）", 176, 238, 300, 24);

    for (QRadioButton* radio : {allFiles_, excludeFiles_, includeFiles_}) {
        connect(radio, &QRadioButton::clicked, this, [this, radio] { ChooseFilter(radio); });
    }
    connect(diffOn_, &QRadioButton::clicked, this, [this] { ChooseDiff(true); });
    connect(diffOff_, &QRadioButton::clicked, this, [this] { ChooseDiff(false); });
    connect(volumes_, &QCheckBox::toggled, this, &CFileBackupSetupExtDlg::OnVolumesToggled);
    connect(patterns_, &QPlainTextEdit::textChanged, this, &CFileBackupSetupExtDlg::OnPatternsChanged);
}

void CFileBackupSetupExtDlg::ChooseFilter(QRadioButton* chosen) {
    chosen->setChecked(true);
    patterns_->setReadOnly(chosen == allFiles_);
}

void CFileBackupSetupExtDlg::ChooseDiff(bool on) {
    (on ? diffOn_ : diffOff_)->setChecked(true);
    basePeriod_->setEnabled(on);
    basePeriod_->setText(kDefaultBasePeriod);
}

void CFileBackupSetupExtDlg::OnVolumesToggled(bool on) {
    volumeSize_->setEnabled(on);
    if (!on) volumeSize_->setText(kDefaultVolumeSize);
}

void CFileBackupSetupExtDlg::SetCompression(bool compressed) {
    if (!compressed) volumes_->setChecked(false);
    volumes_->setEnabled(compressed);
    volumeSize_->setEnabled(compressed && volumes_->isChecked());
}

void CFileBackupSetupExtDlg::OnPatternsChanged() {
    if (patternWarned_ || !patterns_->toPlainText().contains(QRegularExpression("[<>?]"))) return;
    patternWarned_ = true;
    ShowBox(this, "您输入的筛选规则中含有不允许的字符（<>?），请去除，否则该规则将失效。", "筛选规则错误",
            Prompter::Icon::Error);
}

bool CFileBackupSetupExtDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == helpLink_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        CFilterHintDlg hint(this);
        hint.exec();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CFileBackupSetupExtDlg::SetDefaults() {
    ChooseDiff(false);
    ChooseFilter(allFiles_);
    patterns_->clear();
    volumes_->setChecked(false);
    OnVolumesToggled(false);
}

void CFileBackupSetupExtDlg::Load(const TaskInfo& task) {
    const bool diff = task.IsFileTask() && task.diff;
    ChooseDiff(diff);
    if (diff) basePeriod_->setText(QString::number(task.basePeriod));
    QStringList patterns;
    for (const std::string& pattern : task.filter.extensions)
        patterns.append(QString::fromStdString(pattern));
    patterns_->setPlainText(patterns.join('|'));
    if (!task.HasFlag(kTaskFilter)) {
        ChooseFilter(allFiles_);
    } else {
        ChooseFilter(task.HasFlag(kTaskFilterInclude) ? includeFiles_ : excludeFiles_);
    }
    volumes_->setChecked(task.partial > 0);
    OnVolumesToggled(task.partial > 0);
    if (task.partial > 0) volumeSize_->setText(QString::number(task.partial));
}

void CFileBackupSetupExtDlg::Gather(TaskInfo& task) {
    task.flags &= ~(kTaskFilter | kTaskFilterInclude);
    task.filter = FilterSet();
    if (!allFiles_->isChecked()) {
        const bool include = includeFiles_->isChecked();
        task.flags |= kTaskFilter | (include ? kTaskFilterInclude : 0);
        task.filter.exclude = !include;
        QString text = patterns_->toPlainText();
        text.replace('\n', '|');
        for (const QString& item : text.split('|')) task.filter.Add(item.toStdString());
    }
    task.diff = diffOn_->isChecked();
    const int period = basePeriod_->text().trimmed().toInt();
    task.basePeriod = task.diff ? std::max(period, 1) : 1;
    task.partial = 0;
    if (volumes_->isChecked() && !volumeSize_->text().isEmpty()) {
        task.partial = std::max(volumeSize_->text().trimmed().toInt(), 0);
    }
}

}  // namespace zov::gui
