#include "gui/pages/MysqlBackupSetupDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <vector>

#include "engine/mysql/MySqlDataDir.h"
#include "engine/mysql/MySqlDatabases.h"
#include "engine/mysql/MySqlServices.h"
#include "engine/mysql/MySqlTools.h"
#include "gui/restore/MySqlLogin.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/widgets/MyButton.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

const DatabaseEditorLook kLook{
    "167",
    185,
    "新建MySQL备份",
    TaskKind::MySql,
    kMySql,
    Counter::AddMysqlBack,
    20,
    "1281",
    "1271",
    "1272",
    "1273",
    "1288",
    "1294",
    "1297",
    "1298",
    {"1400",
     "1401",
     "1302",
     "1303",
     "1304",
     "1305",
     {"每天备份：", "每    周：", "每    月："},
     "详细时间："},
    {"1411", "1414", "1408", "1410", "1412", "1413", "1415", "1416"},
};

// Why the search found no data folder.
QString DataDirProblem(const MySqlDataDirSearch& search, const std::string& service) {
    switch (search.failure) {
        case MySqlDataDirFailure::NoCommandLine:
            return QString("获取服务路径失败，错误号%1").arg(search.error);
        case MySqlDataDirFailure::NotMySql:
            return "服务" + Q(service) + "的命令行中没有MySQL服务器程序";
        case MySqlDataDirFailure::NoOptionFile:
            return "获取到的ini文件路径（" + Q(search.optionFile) + ")无效";
        case MySqlDataDirFailure::NoDataDir:
            return QString("已经找到ini路径（%1)但读取失败，错误号%2")
                .arg(Q(search.optionFile))
                .arg(search.error);
        case MySqlDataDirFailure::Untrusted:
            return "服务" + Q(service) + "的MySQL服务器程序不可信，未读取其data目录";
        case MySqlDataDirFailure::NoSuchServer:
            return "服务" + Q(service) + "的MySQL服务器已不在运行";
        case MySqlDataDirFailure::None:
            break;
    }
    return {};
}

}  // namespace

CMysqlBackupSetupDlg::CMysqlBackupSetupDlg(QWidget* parent) : DatabaseTaskEditor(kLook, parent) {
    AddLabel(*this, "", "服务名：", 250, 10, 60, 24);
    services_ = new QComboBox(this);
    services_->setObjectName("1280");
    services_->setGeometry(310, 10, 196, 24);
    services_->setFont(PageFont(12));
    AddLabel(*this, "", "root密码：", 220, 258, 70, 24);
    rootPassword_ = AddEdit<QLineEdit>(*this, "1289", {290, 258, 110, 24});
    rootPassword_->setEchoMode(QLineEdit::Password);
    test_ = AddButton(*this, "1095", "检测", {406, 258, 60, 24});
    connect(services_, &QComboBox::activated, this, &CMysqlBackupSetupDlg::OnServiceChange);
    connect(test_, &QPushButton::clicked, this, &CMysqlBackupSetupDlg::TestRootLogin);
    FillServices();
}

void CMysqlBackupSetupDlg::FillServices() {
    services_->clear();
    std::vector<std::string> names;
    FindMySqlServices(names);
    for (const std::string& name : names) services_->addItem(Q(name));
    if (services_->count() > 0) services_->setCurrentIndex(0);
}

std::string CMysqlBackupSetupDlg::ServiceDataDir(const std::string& service) {
    const MySqlDataDirSearch search = SearchMySqlDataDir(service);
    if (search.dataDir.empty()) ShowBox(this, DataDirProblem(search, service), "错误", Prompter::Icon::Error);
    return search.dataDir;
}

QStringList CMysqlBackupSetupDlg::DataFolderDatabases(const std::string& service) {
    QStringList names;
    const std::string dataDir = ServiceDataDir(service);
    if (dataDir.empty()) return names;
    for (const MySqlDatabase& database : ListMySqlDatabases(dataDir)) names.append(Q(database.name));
    return names;
}

void CMysqlBackupSetupDlg::OnServiceChange() {
    picker()->Clear();
    picker()->SetAvailable(DataFolderDatabases(services_->currentText().toStdString()));
}

void CMysqlBackupSetupDlg::SetServerDefaults() {
    rootPassword_->clear();
    if (services_->count() == 0) FillServices();
    if (services_->count() == 0) return;
    services_->setCurrentIndex(0);
    OnServiceChange();
}

bool CMysqlBackupSetupDlg::LoadServer(const TaskInfo& task) {
    rootPassword_->setText(Q(task.rootPassword));
    FillServices();
    const int index = ExactEntry(*services_, Q(task.serviceName));
    if (index < 0) return false;
    services_->setCurrentIndex(index);
    if (task.database.empty()) {
        OnServiceChange();
    } else if (!picker()->allChosen()) {
        picker()->SetAvailable(DataFolderDatabases(task.serviceName));
    }
    return true;
}

bool CMysqlBackupSetupDlg::GatherServer(TaskInfo& task) {
    const std::string service = services_->currentText().toStdString();
    if (service.empty()) {
        Refuse("未选择服务名");
        return false;
    }
    if (!IsDirectory(ServiceDataDir(service))) {
        Refuse("指定的服务找不到data目录");
        services_->removeItem(services_->currentIndex());
        return false;
    }
    task.serviceName = service;
    task.rootPassword = rootPassword_->text().toStdString();
    return true;
}

bool CMysqlBackupSetupDlg::LogIn(std::string& error) const {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool loggedIn =
        TestLogin(services_->currentText().toStdString(), rootPassword_->text().toStdString(), error);
    QApplication::restoreOverrideCursor();
    return loggedIn;
}

void CMysqlBackupSetupDlg::TestRootLogin() {
    test_->setText("检测中");
    test_->setEnabled(false);
    test_->repaint();
    std::string error;
    if (LogIn(error)) {
        ShowBox(this, "数据库连接成功！", "Velmorand", Prompter::Icon::Information);
    } else {
        ShowBox(this, "数据库连接失败：" + Q(error), "Velmorand", Prompter::Icon::Warning);
    }
    test_->setText("检测");
    test_->setEnabled(true);
}

bool CMysqlBackupSetupDlg::ConfirmSave() {
    std::string error;
    if (!LogIn(error) &&
        ShowBox(this, "错误：数据库连接失败，将无法备份数据库，继续吗？\n\n错误信息：" + Q(error),
                "Velmorand", Prompter::Icon::Warning, Prompter::Buttons::YesNo,
                Prompter::Answer::Yes) != Prompter::Answer::Yes)
        return false;
    const std::string service = services_->currentText().toStdString();
    if (!FindMySqlTool(SearchMySqlDataDir(service).programFolder, kMySqlDumpTools).empty()) return true;
    const QString text =
        "错误：文件" + Q(ProgramDir() + kMySqlDumpTools.back()) + "不存在，将无法备份数据库，继续吗？";
    return ShowBox(this, text, "Velmorand", Prompter::Icon::Warning, Prompter::Buttons::YesNo,
                   Prompter::Answer::Yes) == Prompter::Answer::Yes;
}

}  // namespace zov::gui
