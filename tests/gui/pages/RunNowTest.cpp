#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <sstream>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/FileBackupDlg.h"
#include "gui/pages/FileBackupListDlg.h"
#include "gui/pages/MSSqlBackupDlg.h"
#include "gui/pages/MysqlBackupDlg.h"
#include "gui/pages/RunNow.h"
#include "gui/widgets/MyButton.h"
#include "platform/Clock.h"
#include "support/DatabasePageFolder.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"
#include "support/TaskStoreFiles.h"

using namespace zov::gui;
using zov::IniFile;
using zov::TaskInfo;
using zov::gui::test::BuiltProgram;
using zov::gui::test::ReadFile;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::StoreRecords;
using zov::gui::test::TaskRecord;
using zov::gui::test::WriteFile;

namespace {

namespace fs = std::filesystem;

// The pages, and the kinds of the task stored (kNoTask: none under the id run).
constexpr int kNoTask = 0;
constexpr int kFileKind = 1;
constexpr int kSqlServerKind = 2;
constexpr int kMySqlKind = 3;

// A program folder with the built archiver, a source folder of two files and the recording prompter.
struct Fixture : zov::gui::test::FilePageFolder {
    Fixture() {
        fs::copy_file(BuiltProgram("rar").toStdString(), folder / "rar");
        WriteFile(folder / "src/a.txt", "alpha");
        WriteFile(folder / "src/b/c.txt", "charlie");
    }
    std::string Mark(int id) const {
        return IniFile(zov::TempIniPath()).Read(std::to_string(id), zov::kTempTasksSection);
    }
    // The file log records of the task.
    std::vector<std::string> Records(int id) const {
        std::vector<std::string> lines;
        std::istringstream text(
            ReadFile(folder / ("Log/Files/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d") + ".log")));
        for (std::string line; std::getline(text, line);) {
            if (line.find("\t" + std::to_string(id) + "\t") != std::string::npos) lines.push_back(line);
        }
        return lines;
    }
    // The archiver replaced by one that waits a minute first.
    void SlowArchiver() const {
        fs::rename(folder / "rar", folder / "rar.real");
        WriteFile(folder / "rar", "#!/bin/sh\nsleep 60\nexec \"" + (folder / "rar.real") + "\" \"$@\"\n");
        fs::permissions(folder / "rar", fs::perms::owner_all);
    }
    // A task of the kind (kFileKind, kSqlServerKind, kMySqlKind) stored into "bak".
    TaskInfo TaskOf(int kind, int id) const {
        TaskInfo task = Task(id, "docs");
        if (kind == kFileKind) return task;
        task.flags = zov::kTaskCompress | zov::kTaskScheduled;
        task.source.clear();
        task.database = "sales";
        task.sqlType = kind == kSqlServerKind ? zov::kSqlServer : zov::kMySql;
        task.instance = "SALES";
        task.serviceName = "mysql";
        return task;
    }
    // The entries of the task's dated folder.
    std::vector<std::string> Output(const TaskInfo& task) const {
        std::vector<std::string> names;
        std::error_code error;
        const std::string dated = task.dest + "/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d");
        for (const auto& entry : fs::directory_iterator(dated, error))
            names.push_back(entry.path().filename());
        return names;
    }
};

std::unique_ptr<TaskPage> MakePage(int page) {
    switch (page) {
        case kSqlServerKind:
            return std::make_unique<CMSSqlBackupDlg>(nullptr);
        case kMySqlKind:
            return std::make_unique<CMysqlBackupDlg>(nullptr);
        default:
            return std::make_unique<CFileBackupDlg>(nullptr);
    }
}

// Every caption the window was given.
struct CaptionRecorder : QObject {
    explicit CaptionRecorder(QWidget& window) : window_(window) { window.installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::WindowTitleChange)
            titles.append(window_.windowTitle());
        return false;
    }
    QWidget& window_;
    QStringList titles;
};

void RunRow(CFileBackupListDlg& list, int row) {
    list.list()->setCurrentItem(list.list()->topLevelItem(row));
    QTest::mouseClick(list.runButton(), Qt::LeftButton);
}

}  // namespace

class RunNowTest : public QObject {
    Q_OBJECT

  private slots:
    void ARunBacksUpTheTaskAndSaysHowItWent_data() {
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<bool>("sourceThere");
        QTest::newRow("copied") << false << true;
        QTest::newRow("compressed") << true << true;
        QTest::newRow("source missing") << false << false;
    }
    void ARunBacksUpTheTaskAndSaysHowItWent() {
        QFETCH(bool, compressed);
        QFETCH(bool, sourceThere);
        Fixture f;
        TaskInfo task = f.Task(3, "docs");
        if (compressed) task.flags |= zov::kTaskCompress;
        if (!sourceThere) task.source = f.folder / "gone";
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CFileBackupDlg page(nullptr);
        f.prompter.Script({});
        RunRow(*page.listPage(), 0);
        QVERIFY(!page.listPage()->runButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.Boxes().size(), qsizetype(sourceThere ? 1 : 2), 20000);
        const Prompter::Box box = f.prompter.Boxes().back();
        const std::vector<std::string> records = f.Records(3);
        QCOMPARE(records.size(), std::size_t(1));
        if (sourceThere) {
            QCOMPARE(box.text, QString("任务 docs 执行成功"));
            QCOMPARE(box.caption, QString("成 功"));
            QCOMPARE(f.Mark(3), std::string());
            QVERIFY(records.front().find("\t成功\t") != std::string::npos);
            QCOMPARE(f.Output(task).size(), std::size_t(1));
        } else {
            QCOMPARE(box.text, "任务 docs 执行失败\n文件备份的时候，源文件夹" +
                                   QString::fromStdString(task.source) + "不存在");
            QCOMPARE(box.caption, QString("失败"));
            QCOMPARE(box.icon, Prompter::Icon::Error);
            QCOMPARE(f.Mark(3), std::string("FAILED"));
        }
        QTRY_COMPARE(page.windowTitle(), QString("StowmeranV3.5"));
        QTRY_VERIFY(page.listPage()->runButton()->isEnabled());
    }

    // Two failing runs at once: each box carries its own run's text.
    void RunsAtOnceKeepTheirOwnFailures() {
        Fixture f;
        TaskInfo first = f.Task(1, "one");
        first.dest = f.folder / "src/a.txt/one";
        TaskInfo second = f.Task(2, "two");
        second.dest = f.folder / "src/a.txt/two";
        QVERIFY(StoreRecords({TaskRecord(first), TaskRecord(second)}));
        CFileBackupDlg page(nullptr);
        f.prompter.Script({Prompter::Answer::Ok});
        page.runNow()->Start(1);
        page.runNow()->Start(2);
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.Boxes().size(), qsizetype(2), 20000);
        QStringList texts = f.prompter.Texts();
        texts.sort();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith("任务 one 执行失败\n文件备份时，存储目录" +
                                    QString::fromStdString(first.dest)));
        QVERIFY(texts[1].startsWith("任务 two 执行失败\n文件备份时，存储目录" +
                                    QString::fromStdString(second.dest)));
    }

    // A run that cannot start says why in one box of its own and runs nothing; a task id the store no
    // longer holds leaves the main window's caption alone.
    void ARunThatCannotStartSaysWhyOnce_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QStringList>("texts");
        const QStringList running{"该任务正在运行，需执行结束后才能再次运行。"};
        const QStringList gone{"获取id为9的任务详细信息失败"};
        QTest::newRow("file page, marked running") << kFileKind << kFileKind << true << running;
        QTest::newRow("SQL Server page, marked running")
            << kSqlServerKind << kSqlServerKind << true << running;
        QTest::newRow("MySQL page, marked running") << kMySqlKind << kMySqlKind << true << running;
        QTest::newRow("file page, gone") << kFileKind << kNoTask << false << gone;
        QTest::newRow("SQL Server page, gone") << kSqlServerKind << kNoTask << false << QStringList{};
        QTest::newRow("MySQL page, gone") << kMySqlKind << kNoTask << false << gone;
        QTest::newRow("SQL Server page, a file task")
            << kSqlServerKind << kFileKind << false << QStringList{};
        QTest::newRow("MySQL page, a SQL Server task")
            << kMySqlKind << kSqlServerKind << false << QStringList{"该任务不是MySQL备份任务"};
    }
    void ARunThatCannotStartSaysWhyOnce() {
        QFETCH(int, page);
        QFETCH(int, kind);
        QFETCH(bool, marked);
        QFETCH(QStringList, texts);
        Fixture f;
        const int id = kind == kNoTask ? 9 : 5;
        QVERIFY(StoreRecords(kind == kNoTask ? std::vector<std::string>{TaskRecord(f.Task(5, "docs"))}
                                             : std::vector<std::string>{TaskRecord(f.TaskOf(kind, 5))}));
        if (marked) IniFile(zov::TempIniPath()).Write("5", zov::kTempTasksSection, "RUNNING");
        const zov::gui::test::ForcedServiceBackend services(true, f.folder.path());
        std::unique_ptr<TaskPage> shown = MakePage(page);
        CaptionRecorder captions(*shown);
        QSignalSpy ended(shown->runNow(), &RunNow::runEnded);
        shown->runNow()->Start(id);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), qsizetype(1), 20000);
        QCoreApplication::processEvents();
        QCOMPARE(f.prompter.Texts(), texts);
        for (const Prompter::Box& box : f.prompter.Boxes()) QCOMPARE(box.caption, QString("错误"));
        QCOMPARE(captions.titles.isEmpty(), kind == kNoTask);
        QCOMPARE(f.Mark(5), std::string(marked ? "RUNNING" : ""));
        QVERIFY(f.Records(5).empty());
    }

    // A task this program runs is not started again, also when its temp.ini mark was cleared meanwhile.
    void ARunningTaskIsNotStartedTwice() {
        Fixture f;
        f.SlowArchiver();
        TaskInfo task = f.Task(7, "docs");
        task.flags |= zov::kTaskCompress;
        QVERIFY(StoreRecords({TaskRecord(task)}));
        auto page = std::make_unique<CFileBackupDlg>(nullptr);
        page->runNow()->Start(7);
        QTRY_COMPARE_WITH_TIMEOUT(f.Mark(7), std::string("RUNNING"), 20000);
        IniFile(zov::TempIniPath()).Write("7", zov::kTempTasksSection, "");
        page->runNow()->Start(7);
        QTRY_COMPARE_WITH_TIMEOUT(page->runNow()->Running(), 1, 20000);
        QTRY_COMPARE(f.prompter.Texts(), QStringList{"该任务正在运行，需执行结束后才能再次运行。"});
        page.reset();
    }

    // The page's end stops its runs: the cut-short run is recorded as interrupted, its output removed.
    void ClosingThePageStopsItsRuns() {
        Fixture f;
        f.SlowArchiver();
        TaskInfo task = f.Task(6, "docs");
        task.flags |= zov::kTaskCompress;
        QVERIFY(StoreRecords({TaskRecord(task)}));
        auto page = std::make_unique<CFileBackupDlg>(nullptr);
        page->runNow()->Start(6);
        QTRY_VERIFY_WITH_TIMEOUT(!IniFile(zov::TempIniPath()).Read("6", zov::kCurrentTaskSection).empty(),
                                 20000);
        QElapsedTimer closing;
        closing.start();
        page.reset();
        QVERIFY(closing.elapsed() < 10000);
        QCOMPARE(f.Mark(6), std::string("FAILED"));
        const std::vector<std::string> records = f.Records(6);
        QCOMPARE(records.size(), std::size_t(1));
        QVERIFY(records.front().find("备份被中断") != std::string::npos);
        QCOMPARE(f.Output(task), std::vector<std::string>());
        QCOMPARE(IniFile(zov::TempIniPath()).Read("6", zov::kCurrentTaskSection), std::string());
    }
};

QTEST_MAIN(RunNowTest)
#include "RunNowTest.moc"
