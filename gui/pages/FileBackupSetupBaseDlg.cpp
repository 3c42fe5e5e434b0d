#include "gui/pages/FileBackupSetupBaseDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "engine/tasks/TaskValidation.h"
#include "gui/pages/SchedulePicker.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/widgets/FilteredEdits.h"
#include "gui/widgets/MyButton.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

constexpr const char* kDefaultKeepDays = "30";

}  // namespace

CFileBackupSetupBaseDlg::CFileBackupSetupBaseDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("175");
    MakeWhitePage(*this);
    SetTaskTooltipLook(*this);
    AddLabel(*this, "", "任务名称：", 10, 10, 76, 24);
    name_ = AddEdit<QLineEdit>(*this, "1054", {86, 10, 200, 24});
    AddLabel(*this, "", "文件路径：", 10, 42, 76, 24);
    source_ = AddEdit<CDropEdit>(*this, "1055", {86, 42, 270, 24});
    AddLabel(*this, "", "存储路径：", 10, 74, 76, 24);
    storage_ = AddEdit<CDropEdit>(*this, "1060", {86, 74, 270, 24});
    CMyButton* browseSource = AddButton(*this, "1061", "浏览", {362, 42, 50, 24});
    CMyButton* browseStorage = AddButton(*this, "1062", "浏览", {362, 74, 50, 24});
    CMyButton* openSource = AddButton(*this, "1063", "打开", {418, 42, 50, 24});
    CMyButton* openStorage = AddButton(*this, "1064", "打开", {418, 74, 50, 24});

    AddLabel(*this, "", "压缩方式：", 10, 106, 76, 24);
    noCompression_ = AddRadio(*this, "1118", "不压缩", {86, 106, 70, 24});
    compression_ = AddRadio(*this, "1119", "压缩", {156, 106, 60, 24});
    subfolderCompression_ = AddRadio(*this, "1120", "压缩子目录", {216, 106, 96, 24});
    subfolderCompression_->setToolTip("将对目录下的一级子目录单独压缩备份");
    AddLabel(*this, "", "压缩密码：", 314, 106, 70, 24);
    password_ = AddEdit<QLineEdit>(*this, "1122", {384, 106, 96, 24});
    password_->setEchoMode(QLineEdit::Password);

    schedule_ = new SchedulePicker(
        {"1136", "1083", "1078", "1129", "1084", "1079", {"备份日期:", "每    周:", "每    月:"}, "时间："},
        138, this);

    AddLabel(*this, "", "文件保留：", 10, 202, 76, 24);
    keepDays_ = AddEdit<QLineEdit>(*this, "1130", {86, 202, 60, 24});
    keepDays_->setToolTip("请设置备份文件保留期限，0表示不限制。");
    AddLabel(*this, "", "天", 150, 202, 20, 24);
    AddLabel(*this, "", "清理畸形：", 10, 234, 76, 24);
    cleanMalformed_ = new QCheckBox(this);
    cleanMalformed_->setObjectName("1422");
    cleanMalformed_->setGeometry(86, 234, 20, 24);
    QLabel* note = AddLabel(*this, "", "畸形文件可能导致备份失败，建议选中此项，在备份前清除畸形文件", 108,
                            234, 370, 24);
    SetTextColor(*note, QColor(128, 128, 128));

    for (QRadioButton* radio : {noCompression_, compression_, subfolderCompression_}) {
        connect(radio, &QRadioButton::clicked, this, [this, radio] { ChooseCompression(radio); });
    }
    connect(browseSource, &QPushButton::clicked, this, [this] { Browse(source_, "请选择需要备份的文件夹"); });
    connect(browseStorage, &QPushButton::clicked, this,
            [this] { Browse(storage_, "请选择存储备份文件的文件夹"); });
    connect(openSource, &QPushButton::clicked, this, [this] { OpenFolder(source_); });
    connect(openStorage, &QPushButton::clicked, this, [this] { OpenFolder(storage_); });
}

void CFileBackupSetupBaseDlg::SetCompressionAvailable(bool available) {
    compression_->setEnabled(available);
    subfolderCompression_->setEnabled(available);
}

void CFileBackupSetupBaseDlg::ChooseCompression(QRadioButton* chosen) {
    chosen->setChecked(true);
    const bool compressed = chosen != noCompression_;
    password_->setReadOnly(!compressed);
    password_->clear();
    emit compressionChanged(compressed);
}

void CFileBackupSetupBaseDlg::SetDefaults() {
    name_->clear();
    source_->clear();
    storage_->clear();
    ChooseCompression(noCompression_);
    cleanMalformed_->setChecked(true);
    schedule_->SetDefaults();
    keepDays_->setText(kDefaultKeepDays);
}

void CFileBackupSetupBaseDlg::Load(const TaskInfo& task) {
    name_->setText(Q(task.name));
    source_->setText(Q(task.source));
    storage_->setText(Q(task.dest));
    QRadioButton* mode = !task.HasFlag(kTaskCompress) ? noCompression_
                         : task.compress              ? subfolderCompression_
                                                      : compression_;
    mode->setChecked(true);
    password_->setReadOnly(mode == noCompression_);
    password_->setText(Q(task.password));
    emit compressionChanged(mode != noCompression_);
    cleanMalformed_->setChecked(task.delBad);
    schedule_->Load(task);
    keepDays_->setText(task.HasFlag(kTaskKeepDays) ? QString::number(task.keepDays) : "0");
}

QString CFileBackupSetupBaseDlg::Refusal() const {
    if (name_->text().isEmpty()) return "任务名为空或者不合法";
    return schedule_->TimeFault();
}

bool CFileBackupSetupBaseDlg::Gather(TaskInfo& task) {
    task.name = name_->text().toStdString();
    task.source = source_->text().toStdString();
    task.dest = storage_->text().toStdString();
    const int keepDays = keepDays_->text().trimmed().toInt();
    task.keepDays = keepDays;
    task.flags = keepDays > 0 ? task.flags | kTaskKeepDays : task.flags & ~kTaskKeepDays;
    const bool compressed = !noCompression_->isChecked();
    task.flags = compressed ? task.flags | kTaskCompress : task.flags & ~kTaskCompress;
    task.compress = subfolderCompression_->isChecked();
    // An emptied field removes the password.
    task.password = compressed ? password_->text().toStdString() : "";
    task.delBad = cleanMalformed_->isChecked();
    schedule_->Gather(task);

    const std::string& storage = task.dest;
    return storage.size() > 1 && IsAbsolutePath(storage) && IsSafeTaskText(storage) &&
           !IsDirectory(storage) &&
           ShowBox(this, "存储目录不存在，是否立即创建？", "Velmorand", Prompter::Icon::Question,
                   Prompter::Buttons::YesNo, Prompter::Answer::Yes) == Prompter::Answer::Yes;
}

void CFileBackupSetupBaseDlg::ClearStorage() { storage_->clear(); }

void CFileBackupSetupBaseDlg::Browse(QLineEdit* edit, const QString& title) {
    const QString chosen = QFileDialog::getExistingDirectory(this, title, edit->text());
    if (!chosen.isEmpty()) edit->setText(chosen);
}

void CFileBackupSetupBaseDlg::OpenFolder(QLineEdit* edit) {
    const std::string path = edit->text().toStdString();
    if (IsDirectory(path)) OpenWithShell(this, path, "文件夹");
}

}  // namespace zov::gui
