#include <sys/stat.h>

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/FileBackupDlg.h"
#include "gui/pages/FileBackupListDlg.h"
#include "gui/pages/TaskListChanged.h"
#include "gui/restore/FileRestoreDialog.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/MyButton.h"
#include "pages/FileSizeLimit.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"
#include "support/RecordingShell.h"
#include "support/TaskStoreFiles.h"

using namespace zov::gui;
using zov::IniFile;
using zov::TaskInfo;
using zov::gui::test::FileSizeLimit;
using zov::gui::test::ReadFile;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::StoredTasks;
using zov::gui::test::StoreRecords;
using zov::gui::test::TaskRecord;
using Answer = zov::gui::Prompter::Answer;

namespace {

// The page's folder with an archiver and the shell recorder.
struct Fixture : zov::gui::test::FilePageFolder {
    zov::RecordingShell shell;
    Fixture() {
        zov::SetShell(&shell);
        zov::gui::test::WriteFile(folder / "rar", "#!/bin/sh\n");
        std::filesystem::permissions(folder / "rar", std::filesystem::perms::owner_all);
    }
    ~Fixture() { zov::SetShell(nullptr); }
};

QStringList Row(const QTreeWidget& list, int row) {
    QStringList cells;
    const QTreeWidgetItem* item = list.topLevelItem(row);
    for (int column = 0; column < list.columnCount(); ++column) cells.append(item->text(column));
    return cells;
}

QStringList Ids(const QTreeWidget& list) {
    QStringList ids;
    for (int row = 0; row < list.topLevelItemCount(); ++row) ids.append(list.topLevelItem(row)->text(0));
    return ids;
}

void Select(CFileBackupListDlg& list, int row) {
    list.list()->setCurrentItem(list.list()->topLevelItem(row));
}

// A click on the row, as the user gives it.
void ClickRow(CFileBackupListDlg& list, int row) {
    QTreeWidget& tree = *list.list();
    const QRect where = tree.visualItemRect(tree.topLevelItem(row));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(where.center().x() + 100, where.center().y()));
}

std::int64_t ModifiedNs(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

}  // namespace

class FileTaskListTest : public QObject {
    Q_OBJECT

  private slots:
    // A record that does not parse is left out; the tasks after it are still listed; other kinds never.
    void ADamagedRecordHidesOnlyItself() {
        Fixture f;
        TaskInfo database;
        database.id = 4;
        database.name = "db";
        database.flags = zov::kTaskScheduled;
        database.sqlType = zov::kSqlServer;
        database.database = "shop";
        database.instance = "MSSQLSERVER";
        database.dest = f.folder / "db";
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "first")), "\n<ID>2</ID>\n<NAME>broken</NAME>\n",
                              TaskRecord(f.Task(3, "third")), TaskRecord(database),
                              "\n<ID>5</ID>\n<NAME>bad</NAME>\n<FLAG>abc</FLAG>\n"}));
        CFileBackupDlg page(nullptr);
        QCOMPARE(Ids(*page.listPage()->list()), (QStringList{"1", "3"}));
        QCOMPARE(f.prompter.Texts(), QStringList());
        SaveScreenshot(page, "file-page-list");
    }

    void RowsShowTheMainSettings_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("keepDays");
        QTest::addColumn<bool>("diff");
        QTest::addColumn<QStringList>("cells");
        const int file = zov::kTaskFile | zov::kTaskScheduled;
        QTest::newRow("plain, kept 30 days")
            << (file | zov::kTaskKeepDays) << 30 << false << QStringList{"×", "×", "×", "30"};
        QTest::newRow("kept for ever") << file << 0 << false << QStringList{"×", "×", "×", "不删除旧文件"};
        QTest::newRow("filtered, compressed, differential")
            << (file | zov::kTaskFilter | zov::kTaskCompress | zov::kTaskKeepDays) << 7 << true
            << QStringList{"√", "√", "√", "7"};
    }
    void RowsShowTheMainSettings() {
        QFETCH(int, flags);
        QFETCH(int, keepDays);
        QFETCH(bool, diff);
        QFETCH(QStringList, cells);
        Fixture f;
        TaskInfo task = f.Task(9, "docs");
        task.flags = flags;
        task.keepDays = keepDays;
        task.diff = diff;
        task.basePeriod = 7;
        if (flags & zov::kTaskFilter) task.filter.Add("*.tmp");
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CFileBackupDlg page(nullptr);
        const QStringList expected =
            QStringList{"9", "docs", QString::fromStdString(task.source), QString::fromStdString(task.dest)} +
            cells;
        QCOMPARE(Row(*page.listPage()->list(), 0), expected);
    }

    // Fills never switch a schedule, so they never write task.db; only a click does.
    void FillsLeaveTaskDbAsItIs() {
        Fixture f;
        TaskInfo off = f.Task(2, "off");
        off.flags &= ~zov::kTaskScheduled;
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "on")), TaskRecord(off)}));
        const std::string before = ReadFile(zov::TaskDbPath());
        const std::int64_t modified = ModifiedNs(zov::TaskDbPath());
        CFileBackupDlg page(nullptr);
        QTreeWidget& list = *page.listPage()->list();
        QCOMPARE(list.topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(list.topLevelItem(1)->checkState(0), Qt::Unchecked);
        for (int fill = 0; fill < 3; ++fill) {
            MarkTaskListChanged(TaskKind::Files);
            QTRY_VERIFY(!TakeTaskListChanged(TaskKind::Files));
            page.listPage()->Fill();
        }
        QCOMPARE(ReadFile(zov::TaskDbPath()), before);
        QCOMPARE(ModifiedNs(zov::TaskDbPath()), modified);
        QVERIFY(!std::filesystem::exists(f.folder / "Log/UI/UI.log"));
        QCOMPARE(f.prompter.Texts(), QStringList());
    }

    void ACheckBoxSwitchesTheScheduledRuns_data() {
        QTest::addColumn<bool>("scheduled");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<bool>("after");
        QTest::addColumn<int>("questions");
        QTest::newRow("off, confirmed") << true << QList<Answer>{Answer::Yes} << false << 1;
        QTest::newRow("off, declined") << true << QList<Answer>{Answer::No} << true << 1;
        QTest::newRow("on, without a question") << false << QList<Answer>{} << true << 0;
    }
    void ACheckBoxSwitchesTheScheduledRuns() {
        QFETCH(bool, scheduled);
        QFETCH(QList<Answer>, answers);
        QFETCH(bool, after);
        QFETCH(int, questions);
        Fixture f;
        TaskInfo task = f.Task(3, "docs");
        if (!scheduled) task.flags &= ~zov::kTaskScheduled;
        QVERIFY(StoreRecords({TaskRecord(task)}));
        const std::string before = ReadFile(zov::TaskDbPath());
        CFileBackupDlg page(nullptr);
        QTreeWidgetItem* row = page.listPage()->list()->topLevelItem(0);
        f.prompter.Script(answers);
        row->setCheckState(0, scheduled ? Qt::Unchecked : Qt::Checked);
        QCOMPARE(row->checkState(0), after ? Qt::Checked : Qt::Unchecked);
        QCOMPARE(f.prompter.Boxes().size(), questions);
        if (questions > 0) {
            QCOMPARE(f.prompter.Boxes().front().caption, QString("禁用任务"));
            QCOMPARE(f.prompter.Boxes().front().text,
                     QString("确定禁用该任务吗？\n\n禁用后，该任务将不再自动执行，直到重新启用该任务。"));
        }
        const std::vector<TaskInfo> stored = StoredTasks();
        QCOMPARE(stored.size(), std::size_t(1));
        QCOMPARE(stored.front().HasFlag(zov::kTaskScheduled), after);
        if (after == scheduled) QCOMPARE(ReadFile(zov::TaskDbPath()), before);
    }

    // A delete or a switch whose save fails is reported, and the list shows again what task.db holds.
    void AFailedChangeIsReportedAndReloaded_data() {
        QTest::addColumn<bool>("deleting");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("delete") << true << QStringList{"您确定要删除此任务", "任务删除失败"};
        QTest::newRow("switch off")
            << false
            << QStringList{"确定禁用该任务吗？\n\n禁用后，该任务将不再自动执行，直到重新启用该任务。",
                           "任务禁用失败"};
    }
    void AFailedChangeIsReportedAndReloaded() {
        QFETCH(bool, deleting);
        QFETCH(QStringList, texts);
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "keep")), TaskRecord(f.Task(2, "gone"))}));
        CFileBackupDlg page(nullptr);
        CFileBackupListDlg& list = *page.listPage();
        Select(list, 1);
        f.prompter.Script({Answer::Yes});
        {
            const FileSizeLimit limit(64);
            if (deleting) {
                list.DeleteTask();
            } else {
                list.list()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
            }
        }
        QCOMPARE(f.prompter.Texts(), texts);
        const std::vector<TaskInfo> stored = StoredTasks();
        QCOMPARE(stored.size(), std::size_t(2));
        QVERIFY(stored.back().HasFlag(zov::kTaskScheduled));
        QTRY_COMPARE(Ids(*list.list()), (QStringList{"1", "2"}));
        QCOMPARE(list.list()->topLevelItem(1)->checkState(0), Qt::Checked);
    }

    void ADeleteRemovesTheTask() {
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "keep")), TaskRecord(f.Task(2, "gone"))}));
        CFileBackupDlg page(nullptr);
        CFileBackupListDlg& list = *page.listPage();
        list.DeleteTask();
        Select(list, 1);
        f.prompter.Script({Answer::No, Answer::Yes});
        list.DeleteTask();
        QCOMPARE(Ids(*list.list()), (QStringList{"1", "2"}));
        list.DeleteTask();
        QCOMPARE(f.prompter.Texts(),
                 (QStringList{"请选择要删除的任务", "您确定要删除此任务", "您确定要删除此任务"}));
        QCOMPARE(StoredTasks().size(), std::size_t(1));
        QTRY_COMPARE(Ids(*list.list()), (QStringList{"1"}));
        QVERIFY(ReadFile(f.folder / "Log/UI/UI.log").find("\t删除任务\t") != std::string::npos);
    }

    // A task marked running offers the reset and not the run; the reset clears the mark.
    void TheMenuFollowsTheRunningMark() {
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(5, "docs"))}));
        const IniFile temp(zov::TempIniPath());
        temp.Write("5", zov::kTempTasksSection, "RUNNING");
        CFileBackupDlg page(nullptr);
        CFileBackupListDlg& list = *page.listPage();
        Select(list, 0);
        const auto enabled = [&list] {
            QMenu menu;
            list.BuildMenu(menu);
            QStringList on;
            for (QAction* action : menu.actions()) {
                if (!action->isSeparator() && action->isEnabled()) on.append(action->text());
            }
            return on;
        };
        QCOMPARE(enabled(), (QStringList{"修改任务", "删除任务", "新建任务", "历史备份还原", "打开源目录",
                                         "重置备份任务"}));
        QVERIFY(!list.runButton()->isEnabled());
        f.prompter.Script({Answer::No});
        list.ClearRunningMark();
        QCOMPARE(temp.Read("5", zov::kTempTasksSection), std::string("RUNNING"));
        f.prompter.Script({Answer::Yes});
        list.ClearRunningMark();
        QCOMPARE(f.prompter.Boxes().back().text,
                 QString("任务：docs "
                         "可能正在执行中，确定要清理执行标记吗？\n\n如果上一次程序异常中断，可以进行此操作"));
        QCOMPARE(f.prompter.Boxes().back().defaultAnswer, Answer::No);
        QCOMPARE(temp.Read("5", zov::kTempTasksSection), std::string());
        std::filesystem::create_directories(f.folder / "bak/docs");
        QCOMPARE(enabled(), (QStringList{"修改任务", "删除任务", "新建任务", "立即执行备份(&E)",
                                         "历史备份还原", "打开源目录", "打开存储目录"}));
        ClickRow(list, 0);
        QVERIFY(list.runButton()->isEnabled());
        list.OpenStorageFolder();
        QCOMPARE(f.shell.Opened(), std::vector<std::string>{f.folder / "bak/docs"});
    }

    // A folder the shell cannot open is named in a box, not dropped in silence.
    void AFolderTheShellCannotOpenIsNamed_data() {
        QTest::addColumn<bool>("storage");
        QTest::newRow("source") << false;
        QTest::newRow("storage") << true;
    }
    void AFolderTheShellCannotOpenIsNamed() {
        QFETCH(bool, storage);
        Fixture f;
        const TaskInfo task = f.Task(5, "docs");
        std::filesystem::create_directories(task.dest);
        QVERIFY(StoreRecords({TaskRecord(task)}));
        zov::RecordingShell failing(false);
        zov::SetShell(&failing);
        CFileBackupDlg page(nullptr);
        CFileBackupListDlg& list = *page.listPage();
        Select(list, 0);
        storage ? list.OpenStorageFolder() : list.OpenSourceFolder();
        const std::string folder = storage ? task.dest : task.source;
        QCOMPARE(failing.Opened(), std::vector<std::string>{folder});
        QCOMPARE(f.prompter.Texts(), QStringList{"无法打开文件夹[" + QString::fromStdString(folder) +
                                                 "]：没有可用的打开程序 xdg-open，或它运行失败。"});
    }

    // Restore from history opens the file restore dialog with the selected row's task.
    void RestoreOpensTheRestoreDialog() {
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(5, "docs"))}));
        CFileBackupDlg page(nullptr);
        CFileBackupListDlg& list = *page.listPage();
        bool opened = false;
        QTimer::singleShot(0, [&] {
            opened = QApplication::activeModalWidget() == list.restoreDialog();
            if (opened) SaveScreenshot(*list.restoreDialog(), "file-restore-from-list");
            list.restoreDialog()->reject();
        });
        Select(list, 0);
        list.RestoreTask();
        QVERIFY(opened);
    }

    void TasksWithoutTheirSourceAreNamedAfterAFill() {
        Fixture f;
        TaskInfo lost = f.Task(2, "lost");
        lost.source = f.folder / "missing";
        TaskInfo gone = f.Task(3, "gone");
        gone.source = f.folder / "also-missing";
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "fine")), TaskRecord(lost), TaskRecord(gone)}));
        CFileBackupDlg page(nullptr);
        QCOMPARE(f.prompter.Texts(), QStringList{"文件备份中存在无效的任务（源目录不存在），任务名为：\n\nlos"
                                                 "t, gone\n\n请检查你的任务设置。"});
        QCOMPARE(f.prompter.Boxes().front().caption, QString("警 告"));
    }

    void StartUpReportsUnfinishedRunsAtOnce_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("sectionLeft");
        QTest::newRow("the day first") << QStringList{"DAY=20240506", "5=RUNNING"} << "" << true;
        QTest::newRow("one key") << QStringList{"5=RUNNING"} << "" << true;
        QTest::newRow("running and failed")
            << QStringList{"5=RUNNING", "7=FAILED"}
            << "你上次程序退出时有未处理完成的任务，其中:"
               "\n\nID为5的任务未执行完成。\nID为7的任务执行执行失败未处理。\n\n\n请检查对应任务后重新备份。"
            << false;
        QTest::newRow("only failed") << QStringList{"7=FAILED", "8=FAILED"}
                                     << "你上次程序退出时有未处理完成的任务，其中:\n\nID为7,"
                                        "8的任务执行执行失败未处理。\n\n\n请检查对应任务后重新备份。"
                                     << false;
    }
    void StartUpReportsUnfinishedRunsAtOnce() {
        QFETCH(QStringList, entries);
        QFETCH(QString, message);
        QFETCH(bool, sectionLeft);
        Fixture f;
        QVERIFY(StoreRecords({}));
        const IniFile temp(zov::TempIniPath());
        for (const QString& entry : entries) {
            const QStringList pair = entry.split('=');
            temp.Write(pair[0].toStdString(), zov::kTempTasksSection, pair[1].toStdString());
        }
        CFileBackupDlg page(nullptr);
        QCOMPARE(f.prompter.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(temp.GetTempTaskIds().size(), sectionLeft ? std::size_t(entries.size()) : std::size_t(0));
    }
};

QTEST_MAIN(FileTaskListTest)
#include "FileTaskListTest.moc"
