#include "gui/pages/MSSqlBackupSetupDlg.h"

#include <QComboBox>
#include <QTreeWidget>
#include <vector>

#include "engine/mssql/SqlOperator.h"
#include "engine/mssql/SqlServerConnection.h"
#include "gui/pages/SqlDatabaseListing.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/widgets/MyButton.h"
#include "platform/Text.h"

namespace zov::gui {

namespace {

const DatabaseEditorLook kLook{
    "159",
    184,
    "新建SQL Server备份",
    TaskKind::SqlServer,
    kSqlServer,
    Counter::AddMssqlBack,
    32767,
    "1223",
    "1122",
    "1095",
    "1096",
    "1249",
    "1202",
    "1204",
    "1167",
    {"1400",
     "1332",
     "1328",
     "1331",
     "1330",
     "1329",
     {"每天备份：", "每    周：", "每    月："},
     "详细时间："},
    {"1224", "1225", "1398", "1399", "1226", "1227", "1376", "1377"},
};

}  // namespace

CMSSqlBackupSetupDlg::CMSSqlBackupSetupDlg(QWidget* parent) : DatabaseTaskEditor(kLook, parent) {
    AddLabel(*this, "", "选择实例", 250, 10, 60, 24);
    instances_ = new QComboBox(this);
    instances_->setObjectName("1205");
    instances_->setGeometry(310, 10, 140, 24);
    instances_->setFont(PageFont(12));
    instances_->setEditable(true);
    instances_->setInsertPolicy(QComboBox::NoInsert);
    CMyButton* confirm = AddButton(*this, "1423", "确定", {456, 10, 50, 24});
    listing_ = new SqlDatabaseListing(this);
    connect(instances_, &QComboBox::activated, this, [this] { ListDatabases(false); });
    connect(confirm, &QPushButton::clicked, this, [this] { ListDatabases(true); });
    connect(listing_, &SqlDatabaseListing::listed, this, &CMSSqlBackupSetupDlg::OnListed);
    connect(picker(), &DatabasePicker::relistRequested, this, [this] { ListDatabases(false); });
    FillInstances("");
}

void CMSSqlBackupSetupDlg::FillInstances(const QString& preferred) {
    const QString before = instances_->currentText();
    std::vector<std::string> names;
    CSQLOperator sql;
    const bool read = sql.GetInstances(names);
    instances_->clear();
    for (const std::string& name : names) instances_->addItem(QString::fromStdString(name));
    if (!read) {
        instances_->addItem(kDefaultSqlServerInstance);
        if (!preferred.isEmpty() && preferred != kDefaultSqlServerInstance) instances_->addItem(preferred);
    }
    const QString wanted = preferred.isEmpty() ? before : preferred;
    int index = ExactEntry(*instances_, wanted);
    if (index < 0 && !preferred.isEmpty()) {
        instances_->insertItem(0, preferred);
        index = 0;
    }
    instances_->setCurrentIndex(std::max(index, 0));
}

void CMSSqlBackupSetupDlg::SetServerDefaults() {
    if (instances_->count() == 0) FillInstances("");
    if (instances_->count() == 0) return;
    instances_->setCurrentIndex(0);
    ListDatabases(false);
}

bool CMSSqlBackupSetupDlg::LoadServer(const TaskInfo& task) {
    const QString instance = QString::fromStdString(task.instance);
    FillInstances(instance);
    if (task.database != DatabasePicker::kAllStored) {
        instance_ = instances_->currentText().toStdString();
        SetListing(true);
        listing_->Start(instance_);
    }
    return true;
}

bool CMSSqlBackupSetupDlg::GatherServer(TaskInfo& task) {
    const std::string instance = instances_->currentText().toStdString();
    if (instance.empty()) {
        Refuse("未选择实例");
        return false;
    }
    task.instance = UpperAscii(instance);
    return true;
}

void CMSSqlBackupSetupDlg::ListDatabases(bool confirm) {
    picker()->ClearChosen();
    instance_ = instances_->currentText().toStdString();
    if (confirm) instance_ = UpperAscii(instance_);
    picker()->SetAvailable({});
    if (instance_.empty()) {
        listing_->Stop();
        return;
    }
    SetListing(true);
    listing_->Start(instance_);
}

void CMSSqlBackupSetupDlg::OnListed(bool succeeded, const QStringList& names, const QString& message) {
    if (!succeeded) {
        ShowBox(
            this,
            QString("从实例%1中获取数据库列表时出错：\n\n").arg(QString::fromStdString(instance_)) + message,
            "警告", Prompter::Icon::Warning);
    }
    picker()->SetAvailable(names);
    SetListing(false);
}

void CMSSqlBackupSetupDlg::SetListing(bool running) {
    picker()->availableList()->setEnabled(!running);
    picker()->selectedList()->setEnabled(!running);
    findChild<QPushButton*>(kLook.ok)->setEnabled(!running);
}

void CMSSqlBackupSetupDlg::done(int result) {
    listing_->Stop();
    SetListing(false);
    DatabaseTaskEditor::done(result);
}

}  // namespace zov::gui
