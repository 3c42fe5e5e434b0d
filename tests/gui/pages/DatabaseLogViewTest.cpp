#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "engine/logs/QelLog.h"
#include "gui/pages/BackupLogDlg.h"
#include "gui/pages/DatabaseLogViews.h"
#include "gui/pages/DetailLogDlg.h"
#include "platform/Clock.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

using namespace zov::gui;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::TempProgramFolder;

namespace {

// A log line of the category started now: id, task name, operation, item, target.
std::string Line(const std::string& category, const std::string& id, const std::string& name,
                 const std::string& operation, const std::string& item, const std::string& target) {
    return category + "\t" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d %H:%M:%S") + "\t" + id + "\t" + name +
           "\t" + operation + "\t" + item + "\t" + target + "\t1秒\t成功\t\n";
}

void Append(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::app | std::ios::binary) << text;
}

QStringList Names(const CBackupLogDlg& view) {
    QStringList names;
    for (int row = 0; row < view.rows().rowCount(); ++row)
        names.append(QString::fromStdString(view.rows().Record(row).taskName));
    return names;
}

}  // namespace

class DatabaseLogViewTest : public QObject {
    Q_OBJECT

  private slots:
    // Each view lists the valid lines of its own category once, also as the day file grows, and shows a
    // row's own record in the detail.
    void EachViewListsItsOwnLines_data() {
        QTest::addColumn<bool>("sqlServer");
        QTest::newRow("SQL Server") << true;
        QTest::newRow("MySQL") << false;
    }
    void EachViewListsItsOwnLines() {
        QFETCH(bool, sqlServer);
        TempProgramFolder folder;
        zov::gui::test::RecordingPrompter prompter;
        const LogViewConfig config = sqlServer ? SqlServerLogViewConfig() : MySqlLogViewConfig();
        const std::string own = zov::CQelLog::CategoryText(config.category);
        const std::string other = sqlServer ? "MYSQL日志" : "MSSQL日志";
        const std::string today =
            folder / ("Log/" + config.folder + "/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d") + ".log");
        Append(today, Line(own, "3", "stored", "备份", "sales", "/bak/sales_1.rar") +
                          Line(own, "3", "no-target", "备份", "sales", "---") +
                          Line(other, "3", "other-kind", "备份", "sales", "/bak/x.rar") +
                          Line(own, "3", "no-database", "备份", "", "/bak/x.rar") +
                          Line(own, "3", "relative", "备份", "sales", "bak/x.rar") +
                          Line(own, "3", "short-operation", "x", "sales", "/bak/x.rar") +
                          Line(own, "-1", "negative-id", "备份", "sales", "/bak/x.rar"));
        CBackupLogDlg view(config, nullptr);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Load();
        QCOMPARE(Names(view), (QStringList{"stored", "no-target"}));

        view.findChild<QCheckBox*>(config.autoRefreshId)->setChecked(true);
        Append(today, Line(own, "4", "later", "还原", "hr", "/bak/hr_2.rar"));
        view.OnLogChanged(sqlServer ? zov::kLogMySql : zov::kLogSqlServer);
        QCOMPARE(view.rows().rowCount(), 2);
        view.OnLogChanged(config.category);
        view.OnLogChanged(config.category);
        QCOMPARE(Names(view), (QStringList{"stored", "no-target", "later"}));
        SaveScreenshot(view, QString::fromStdString("log-view-" + config.folder));

        bool inspected = false;
        QTimer::singleShot(0, [&] {
            auto* detail = qobject_cast<CDetailLogDlg*>(QApplication::activeModalWidget());
            if (detail == nullptr) return;
            QCOMPARE(detail->findChild<QLineEdit*>("1361")->text(), sqlServer ? "SQL Server" : "MySQL");
            QCOMPARE(detail->findChild<QLineEdit*>("1122")->text(), QString("later"));
            SaveScreenshot(*detail, QString::fromStdString("log-detail-" + config.folder));
            inspected = true;
            detail->accept();
        });
        QTableView& list = *view.list();
        const QPoint row = list.visualRect(view.rows().index(2, 1)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, row);
        QVERIFY(inspected);
        QCOMPARE(prompter.Texts(), QStringList());
    }
};

QTEST_MAIN(DatabaseLogViewTest)
#include "DatabaseLogViewTest.moc"
