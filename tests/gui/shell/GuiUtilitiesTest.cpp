#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <thread>

#include "engine/logs/QelLog.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/GuiUtilitiesFiles.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/QelSystem.h"
#include "platform/Clock.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingShell.h"

using zov::gui::CQelSystem;

namespace {

// The shell of the process for the life of the object.
struct InstalledShell : zov::RecordingShell {
    explicit InstalledShell(bool opens = true) : RecordingShell(opens) { zov::SetShell(this); }
    ~InstalledShell() override { zov::SetShell(nullptr); }
};

struct InstalledClock : zov::ManualClock {
    explicit InstalledClock(std::time_t now) : ManualClock(now) { zov::SetClock(this); }
    ~InstalledClock() override { zov::SetClock(nullptr); }
};

std::string Path(const QTemporaryDir& folder, const std::string& relative) {
    return folder.path().toStdString() + "/" + relative;
}

}  // namespace

class GuiUtilitiesTest : public QObject {
    Q_OBJECT

  private slots:
    void TimeChoices_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("half hours") << 30 << 48 << "00:00"
                                    << "23:30";
        QTest::newRow("hours") << 60 << 24 << "00:00"
                               << "23:00";
        QTest::newRow("no step means 10") << 0 << 144 << "00:00"
                                          << "23:50";
        QTest::newRow("negative means 10") << -5 << 144 << "00:00"
                                           << "23:50";
        QTest::newRow("uneven step") << 45 << 48 << "00:00"
                                     << "23:45";
        QTest::newRow("seven minutes") << 7 << 216 << "00:00"
                                       << "23:56";
    }
    void TimeChoices() {
        QFETCH(int, step);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QString choices = zov::gui::BuildTimeChoices(step);
        QVERIFY(choices.endsWith(' ') && !choices.endsWith("  "));
        const QStringList items = choices.split(' ', Qt::SkipEmptyParts);
        QCOMPARE(items.size(), count);
        QCOMPARE(items.first(), first);
        QCOMPARE(items.last(), last);
        QCOMPARE(choices.size(), count * 6);
        for (const QString& item : items) QCOMPARE(item.size(), 5);
        if (step == 30) QVERIFY(choices.startsWith("00:00 00:30 01:00 01:30 02:00 "));
    }

    void TodayComesFromTheClock() {
        InstalledClock clock(zov::MakeLocalTime(2015, 3, 4, 5, 6, 7));
        QCOMPARE(zov::gui::GetTodayText(), QString("2015-03-04"));
        clock.Set(zov::MakeLocalTime(2024, 12, 31, 23, 59, 59));
        QCOMPARE(zov::gui::GetTodayText(), QString("2024-12-31"));
    }

    void MainCaptionFromAnyThread() {
        QCOMPARE(zov::gui::MainCaption(""), QString("StowmeranV3.5"));
        QCOMPARE(zov::gui::MainCaption("正在执行任务[文档]"), QString("StowmeranV3.5 - 正在执行任务[文档]"));
        QWidget window;
        std::jthread worker([&window] { zov::gui::SetMainCaption(&window, "备份中"); });
        worker.join();
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QString("StowmeranV3.5 - 备份中"), 5000);
        zov::gui::SetMainCaption(&window, "");
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QString("StowmeranV3.5"), 5000);
    }

    void OpeningPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("shellOpens");
        QTest::addColumn<QString>("opened");  // "" when nothing is opened
        QTest::addColumn<QString>("box");     // "missing", "cannot open" or ""
        QTest::newRow("folder") << "data" << true << "data"
                                << "";
        QTest::newRow("file shows its folder") << "data/a.rar" << true << "data/"
                                               << "";
        QTest::newRow("missing") << "data/none" << true << ""
                                 << "missing";
        QTest::newRow("no opener for the folder") << "data" << false << "data"
                                                  << "cannot open";
        QTest::newRow("no opener for the file's folder") << "data/a.rar" << false << "data/"
                                                         << "cannot open";
    }
    void OpeningPaths() {
        QFETCH(QString, path);
        QFETCH(bool, shellOpens);
        QFETCH(QString, opened);
        QFETCH(QString, box);
        QTemporaryDir folder;
        QVERIFY(zov::gui::test::WriteFile(Path(folder, "data/a.rar"), "rar"));
        InstalledShell shell(shellOpens);
        zov::gui::test::RecordingPrompter prompter;
        const std::string full = Path(folder, path.toStdString());
        QCOMPARE(zov::gui::OpenInExplorer(nullptr, full), box.isEmpty());
        const std::vector<std::string> expected =
            opened.isEmpty() ? std::vector<std::string>{}
                             : std::vector<std::string>{Path(folder, opened.toStdString())};
        QCOMPARE(shell.Opened(), expected);
        QStringList boxes;
        if (box == "missing")
            boxes << QString("路径[%1]不存在，打开失败！").arg(QString::fromStdString(full));
        if (box == "cannot open") boxes << zov::gui::test::CannotOpenText("文件夹", expected.at(0));
        QCOMPARE(prompter.Texts(), boxes);
    }

    void OpenPathOnlyWhenSet() {
        InstalledShell shell(false);
        zov::gui::test::RecordingPrompter prompter;
        zov::gui::OpenPathIfSet("");
        QVERIFY(shell.Opened().empty());
        QVERIFY(prompter.Texts().isEmpty());
        zov::gui::OpenPathIfSet("/srv/backup.log");
        QCOMPARE(shell.Opened(), std::vector<std::string>{"/srv/backup.log"});
        QCOMPARE(prompter.Texts(), QStringList{zov::gui::test::CannotOpenText("文件", "/srv/backup.log")});
    }

    // Links: an empty address stays silent; anything that is not opened says so and names the address.
    void OpeningWebAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("shellOpens");
        QTest::addColumn<bool>("tried");
        QTest::addColumn<QString>("box");
        QTest::newRow("no address") << "" << true << false << "";
        QTest::newRow("opened") << "https://maker.test/help" << true << true << "";
        QTest::newRow("no opener") << "https://maker.test/help" << false << true
                                   << zov::gui::test::CannotOpenText("网址", "https://maker.test/help");
        QTest::newRow("not a web address")
            << "ftp://maker.test" << true << false
            << "无法打开网址[ftp://maker.test]：它不是 http:// 或 https:// 开头的网址。";
    }
    void OpeningWebAddresses() {
        QFETCH(QString, address);
        QFETCH(bool, shellOpens);
        QFETCH(bool, tried);
        QFETCH(QString, box);
        InstalledShell shell(shellOpens);
        zov::gui::test::RecordingPrompter prompter;
        QCOMPARE(zov::gui::OpenWebAddress(address.toStdString()), tried && shellOpens);
        QCOMPARE(shell.Opened().size(), std::size_t(tried ? 1 : 0));
        QCOMPARE(prompter.Texts(), box.isEmpty() ? QStringList{} : QStringList{box});
    }

    void FileSizesAreSixtyFourBit() {
        QTemporaryDir folder;
        const std::string big = Path(folder, "big.bak");
        QVERIFY(zov::gui::test::WriteFile(big, ""));
        std::filesystem::resize_file(big, 5LL << 30);  // sparse: takes no space
        QCOMPARE(zov::gui::GetFileSizeByStat(big), std::int64_t(5) << 30);
        QCOMPARE(zov::gui::GetFileSizeByStat(Path(folder, "none")), std::int64_t(0));
    }

    void DiskSpace() {
        QTemporaryDir folder;
        const auto space = zov::gui::DiskFreeGiB(folder.path().toStdString());
        QVERIFY(space.has_value());
        QVERIFY(space->freeGiB <= space->totalGiB);
        QVERIFY(!zov::gui::DiskFreeGiB(Path(folder, "none")).has_value());
        QVERIFY(!zov::gui::DiskFreeGiB("").has_value());
    }

    void FindFileInTree_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("found");
        QTest::newRow("in a dated folder") << "db_20150304050607.rar"
                                           << "2015-03-04/db_20150304050607.rar";
        QTest::newRow("letters folded") << "DB_20150304050607.RAR"
                                        << "2015-03-04/db_20150304050607.rar";
        QTest::newRow("depth first in name order") << "x.rar"
                                                   << "a/deep/x.rar";
        QTest::newRow("a folder by its name") << "deep"
                                              << "a/deep";
        QTest::newRow("not below a link") << "outside.rar"
                                          << "";
        QTest::newRow("missing") << "none.rar"
                                 << "";
    }
    void FindFileInTree() {
        QFETCH(QString, name);
        QFETCH(QString, found);
        QTemporaryDir folder;
        QTemporaryDir other;
        QVERIFY(zov::gui::test::WriteFile(Path(folder, "2015-03-04/db_20150304050607.rar"), "1"));
        QVERIFY(zov::gui::test::WriteFile(Path(folder, "a/deep/x.rar"), "2"));
        QVERIFY(zov::gui::test::WriteFile(Path(folder, "x.rar"), "3"));
        QVERIFY(zov::gui::test::WriteFile(Path(other, "outside.rar"), "4"));
        std::filesystem::create_directory_symlink(other.path().toStdString(), Path(folder, "b-link"));
        const std::string result = zov::gui::FindFileInTree(folder.path().toStdString(), name.toStdString());
        QCOMPARE(result, found.isEmpty() ? std::string() : Path(folder, found.toStdString()));
    }

    void CountsTheLogsResults() {
        zov::gui::test::TempProgramFolder program;
        const auto write = [](const std::string& name, const char* result) {
            zov::CQelLog record;
            record.SetCategory(zov::kLogFiles);
            record.SetType(1);
            record.SetTaskId(7);
            record.SetTaskName(name);
            record.SetResult(result);
            record.Start();
            return record.Write() ? record.GetLogPath() : std::string();
        };
        const std::string log = write("文档", zov::kLogSucceeded);
        QVERIFY(!log.empty());
        QCOMPARE(write("成功", zov::kLogFailed), log);  // a task named like the result still failed
        QCOMPARE(write("数据\t成功\t", zov::kLogFailed), log);
        QCOMPARE(write("照片", zov::kLogSucceeded), log);
        std::string text = zov::gui::test::ReadFile(log);
        QVERIFY(zov::gui::test::WriteFile(log, text + "\n\n"));

        const auto all = zov::gui::CountLogResults(log);
        QVERIFY(all.has_value());
        QCOMPARE(all->successes, 2);
        QCOMPARE(all->failures, 2);
        const auto firstTwo = zov::gui::CountLogResults(log, 2);
        QCOMPARE(firstTwo->successes, 1);
        QCOMPARE(firstTwo->failures, 1);
        QVERIFY(!zov::gui::CountLogResults(program / "Log/Files/none.log").has_value());
    }

    void OsInfoFromOsRelease_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("name");
        QTest::newRow("pretty name")
            << "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
            << "Debian GNU/Linux 12 (bookworm)";
        QTest::newRow("single quotes") << "PRETTY_NAME='Alpine Linux v3.19'\n"
                                       << "Alpine Linux v3.19";
        QTest::newRow("name and version") << "NAME=Fedora\nVERSION=\"39 (Server)\"\n"
                                          << "Fedora 39 (Server)";
        QTest::newRow("nothing known") << "# empty\n"
                                       << "unknown";
    }
    void OsInfoFromOsRelease() {
        QFETCH(QString, content);
        QFETCH(QString, name);
        QTemporaryDir folder;
        const std::string file = Path(folder, "os-release");
        QVERIFY(zov::gui::test::WriteFile(file, content.toStdString()));
        const CQelSystem::OsInfo info = CQelSystem::GetOsInfo(file);
        QCOMPARE(info.name, name);
        QCOMPARE(info.code, 99);
        QVERIFY(info.is64Bit);
        QCOMPARE(CQelSystem::GetOsInfo(Path(folder, "none")).name, QString("unknown"));
    }

    void ProcessRunningAgainstARealChild() {
        QTemporaryDir folder;
        // A name with a non-ASCII letter: only ASCII letters are folded.
        const QString program = folder.path() + "/ZovÄProbe";
        QVERIFY(QFile::copy("/bin/sleep", program));
        QProcess child;
        child.start(program, {"30"});
        QVERIFY(child.waitForStarted(5000));
        const struct {
            const char* name;
            int running;
        } cases[] = {
            {"zovÄprobe", 1}, {"zoväprobe", 0}, {"ZovÄProbe", 0}, {"zovÄprob", 0}, {"zovÄprobe2", 0}};
        for (const auto& c : cases) QCOMPARE(CQelSystem::IsProcessRunning(c.name), c.running);
        child.kill();
        QVERIFY(child.waitForFinished(5000));
        QCOMPARE(CQelSystem::IsProcessRunning("zovÄprobe"), 0);
    }
};

QTEST_MAIN(GuiUtilitiesTest)
#include "GuiUtilitiesTest.moc"
