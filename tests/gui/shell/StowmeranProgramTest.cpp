#include <signal.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "engine/settings/IniFile.h"
#include "gui/shell/SingleInstance.h"
#include "support/GuiTestSupport.h"

using zov::gui::test::ReadFile;
using zov::gui::test::TempProgramFolder;
using zov::gui::test::WriteFile;

namespace {

constexpr int kWaitMs = 20000;

// The built program on a program folder, boxes answered with their defaults and written to its stderr.
class Program {
  public:
    explicit Program(const std::string& folder) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ZOV_PROGRAM_DIR", QString::fromStdString(folder));
        environment.insert("ZOV_TEST_PROMPTER", "auto");
        environment.insert("ZOV_SERVICE_BACKEND", "local");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process_.setProcessEnvironment(environment);
        process_.start(zov::gui::test::BuiltProgram("stowmeran"), {});
    }
    ~Program() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(kWaitMs);
    }

    // The exit status, -1 after a crash or a kill, -2 when it did not end in time.
    int Finish() {
        if (!process_.waitForFinished(kWaitMs)) return -2;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    // The boxes it showed, one "box: <caption>: <text>" line each.
    QString Boxes() {
        QString boxes;
        for (const QString& line : QString::fromUtf8(process_.readAllStandardError()).split('\n')) {
            if (line.startsWith("box: ")) boxes += line + '\n';
        }
        return boxes;
    }
    QProcess& process() { return process_; }

  private:
    QProcess process_;
};

bool WaitForFile(const std::string& path) {
    QElapsedTimer timer;
    timer.start();
    while (!std::filesystem::exists(path) && timer.elapsed() < kWaitMs) QTest::qWait(50);
    return std::filesystem::exists(path);
}

}  // namespace

class StowmeranProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void FirstStartInAnEmptyFolderAndASecondStart() {
        TempProgramFolder folder;
        WriteFile(folder / "config.ini", "[MSSQL]\nPassword=secret\n");
        QCOMPARE(chmod((folder / "config.ini").c_str(), 0644), 0);
        Program first(folder.path());
        QVERIFY(WaitForFile(zov::gui::SingleInstance::SocketPath(folder.path())));
        QCOMPARE(std::filesystem::status(folder / "config.ini").permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        QVERIFY(std::filesystem::is_regular_file(folder / "task.db"));
        QCOMPARE(std::filesystem::file_size(folder / "task.db"), std::uintmax_t{0});
        QCOMPARE(zov::IniFile(folder / "config.ini").Read("Dir", "LOG"), folder / "Log/");
        for (const char* log : {"Log/Files", "Log/MySQL", "Log/SQL Server", "Log/UI"})
            QVERIFY2(std::filesystem::is_directory(folder / log), log);
        QCOMPARE(std::filesystem::status(folder / "run").permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_all);

        // The second start leaves the stored counters alone and ends with 0.
        const std::string counters = "not overwritten";
        WriteFile(folder / "Log/UserCache.db", counters);
        Program second(folder.path());
        QCOMPARE(second.Finish(), 0);
        QCOMPARE(ReadFile(folder / "Log/UserCache.db"), counters);
        QVERIFY(first.process().state() == QProcess::Running);

        kill(static_cast<pid_t>(first.process().processId()), SIGTERM);
        first.Finish();
        const QString boxes = first.Boxes();
        QVERIFY2(
            boxes.contains("box: 错 误: 服务修复失败：服务文件 " + QString::fromStdString(folder / "zovsvc")),
            qPrintable(boxes));
    }

    void ATaskStoreThatCannotBeMadeEndsTheStart_data() {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("a link in its place") << "link";
        QTest::newRow("no program folder") << "missing";
    }
    void ATaskStoreThatCannotBeMadeEndsTheStart() {
        QFETCH(QString, blocker);
        TempProgramFolder folder;
        std::string programFolder = folder.path();
        const std::string counters = "stored counters";
        if (blocker == "link") {
            std::filesystem::create_symlink(folder / "elsewhere/task.db", folder / "task.db");
            WriteFile(folder / "Log/UserCache.db", counters);
        } else {
            programFolder = folder / "not-there/";
        }
        Program program(programFolder);
        QCOMPARE(program.Finish(), 255);
        QCOMPARE(program.Boxes(), QString("box: 初始化出错: 配置文件不存在，且无法创建。程序将退出\n"));
        QVERIFY(!std::filesystem::exists(folder / "elsewhere"));
        if (blocker == "link") QCOMPARE(ReadFile(folder / "Log/UserCache.db"), counters);
    }

    // A store the splash cannot read ends the start with 255, before the counters were ever loaded.
    void AnUnreadableTaskStoreEndsTheStart() {
        TempProgramFolder folder;
        std::filesystem::create_directory(folder / "task.db");
        const std::string counters = "stored counters";
        WriteFile(folder / "Log/UserCache.db", counters);
        Program program(folder.path());
        QCOMPARE(program.Finish(), 255);
        const QStringList boxes = program.Boxes().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(boxes.mid(1), QStringList({"box: 错误: 程序初始化出错，无法读取配置文件",
                                            "box: 错误: 初始化失败：读取任务文件超时，程序即将退出"}));
        QCOMPARE(ReadFile(folder / "Log/UserCache.db"), counters);
        QVERIFY(!std::filesystem::exists(zov::gui::SingleInstance::SocketPath(folder.path())));
    }
};

QTEST_MAIN(StowmeranProgramTest)
#include "StowmeranProgramTest.moc"
