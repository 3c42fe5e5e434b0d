#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "engine/logs/QelLog.h"
#include "engine/logs/StateLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/shell/CacheSpace.h"
#include "gui/shell/SysSetupDlg.h"
#include "gui/shell/UserCache.h"
#include "platform/ProcessRunner.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"
#include "tests/support/NobodyChild.h"
#include "tests/support/RecordingShell.h"

using namespace zov::gui;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::TempProgramFolder;
using zov::gui::test::WriteFile;

namespace {

constexpr std::uint64_t kGiB = std::uint64_t(1) << 30;
const QString kNotAbsolute = "设置的cache目录无效：请填写以“/”开头的绝对路径。";
const QString kNotTrusted = QString("设置的rar路径无效：它必须是只有root可以修改的可执行文件（属于root，") +
                            "组和其他用户不可写入，所在文件夹也一样）。";

// A program folder with a cache folder set, the recorders installed and the free space fixed.
struct Fixture {
    TempProgramFolder folder;
    RecordingPrompter prompter;
    zov::RecordingShell shell;
    explicit Fixture(std::optional<std::uint64_t> freeBytes = 100 * kGiB) {
        zov::SetShell(&shell);
        SetFreeSpaceFunction([freeBytes](const std::string&) { return freeBytes; });
        std::filesystem::create_directory(folder / "cache");
        TempIni().Write("Path", "CACHE", folder / "cache/");
    }
    ~Fixture() {
        SetFreeSpaceFunction({});
        zov::SetShell(nullptr);
    }
    zov::IniFile TempIni() const { return zov::IniFile(zov::TempIniPath()); }
    zov::IniFile ConfigIni() const { return zov::IniFile(zov::ConfigIniPath()); }
};

template <typename T>
T* Control(QWidget& page, const char* id) {
    T* control = page.findChild<T*>(id);
    if (control == nullptr) qFatal("no control %s", id);
    return control;
}

std::string MakeFile(const std::string& path) {
    WriteFile(path, "#!/bin/sh\n");
    chmod(path.c_str(), 0755);
    return path;
}

}  // namespace

class SysSetupDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void SwitchStartsFromConfig_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("caption");
        QTest::newRow("missing") << "" << true << "ON"
                                 << "系统已开启";
        QTest::newRow("on") << "ON" << true << "ON"
                            << "系统已开启";
        QTest::newRow("other") << "maybe" << true << "ON"
                               << "系统已开启";
        QTest::newRow("off") << "OFF" << false << "OFF"
                             << "系统已关闭";
    }
    void SwitchStartsFromConfig() {
        QFETCH(QString, stored);
        QFETCH(bool, ticked);
        QFETCH(QString, written);
        QFETCH(QString, caption);
        Fixture fixture;
        fixture.ConfigIni().Write("switch", "SYSTEM", stored.toStdString());
        CSysSetupSubDlg page(nullptr);
        auto* box = Control<QCheckBox>(page, "1385");
        QCOMPARE(box->isChecked(), ticked);
        QCOMPARE(box->text(), caption);
        QCOMPARE(QString::fromStdString(fixture.ConfigIni().Read("switch", "SYSTEM")), written);
    }

    void SwitchClicksWriteTheSetting() {
        Fixture fixture;
        CSysSetupSubDlg page(nullptr);
        page.show();
        auto* box = Control<QCheckBox>(page, "1385");
        const QPoint indicator(8, box->height() / 2);
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
        QCOMPARE(box->text(), QString("系统已关闭"));
        QCOMPARE(fixture.ConfigIni().Read("switch", "SYSTEM"), std::string("OFF"));
        QCOMPARE(box->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
        QCOMPARE(box->text(), QString("系统已开启"));
        QCOMPARE(fixture.ConfigIni().Read("switch", "SYSTEM"), std::string("ON"));
        QCOMPARE(box->palette().color(QPalette::WindowText), QColor(0, 139, 0));
    }

    void TabsSwitchTheSubPages() {
        Fixture fixture;
        CSysSetupDlg page(nullptr);
        page.show();
        QCOMPARE(page.currentPage(), static_cast<QWidget*>(page.settingsPage()));
        SaveScreenshot(page, "settings-page");
        QTest::mouseClick(Control<QPushButton>(page, "1095"), Qt::LeftButton);
        QVERIFY(page.statePage()->isVisible());
        QVERIFY(!page.settingsPage()->isVisible());
        SaveScreenshot(page, "settings-state-page");
        QTest::mouseClick(Control<QPushButton>(page, "1384"), Qt::LeftButton);
        QVERIFY(page.settingsPage()->isVisible());
        QVERIFY(!page.statePage()->isVisible());
        QCOMPARE(page.statePage()->geometry(), QRect(14, 35, 520, 360));
    }

    void SaveChecksTheArchiverAndTheCacheFolder_data() {
        QTest::addColumn<QString>("rarName");  // created in the program folder unless it starts with '!'
        QTest::addColumn<QString>("cache");    // relative to the program folder unless absolute or empty
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("storedCache");  // relative to the program folder
        const QString ok = "设置保存成功！\n\n如果SQL Server和MySQL备份不可用，请重启应用程序。";
        QTest::newRow("rar") << "rar"
                             << "cache/" << ok << true << "cache/";
        QTest::newRow("upper case") << "tools/RAR"
                                    << "cache/" << ok << true << "cache/";
        QTest::newRow("unrar") << "unrar"
                               << "cache/" << ok << true << "cache/";
        QTest::newRow("rar5") << "rar5"
                              << "cache/"
                              << "设置的rar路径无效" << false << "cache/";
        QTest::newRow("missing") << "!rar"
                                 << "cache/"
                                 << "设置的rar路径无效" << false << "cache/";
        QTest::newRow("folder named rar") << "!folder/rar"
                                          << "cache/"
                                          << "设置的rar路径无效" << false << "cache/";
        QTest::newRow("new nested cache") << "rar"
                                          << "new/deeper/" << ok << true << "new/deeper/";
        QTest::newRow("program folder") << "rar"
                                        << "." << ok << true << "cache/";
        QTest::newRow("relative cache") << "rar"
                                        << "/relative/x" << kNotAbsolute << false << "cache/";
        QTest::newRow("empty cache") << "rar"
                                     << "" << kNotAbsolute << false << "cache/";
    }
    void SaveChecksTheArchiverAndTheCacheFolder() {
        QFETCH(QString, rarName);
        QFETCH(QString, cache);
        QFETCH(QString, box);
        QFETCH(bool, saved);
        QFETCH(QString, storedCache);
        Fixture fixture;
        std::filesystem::create_directories(fixture.folder / "folder/rar");
        std::filesystem::create_directories(fixture.folder / "tools");
        const std::string rar = rarName.startsWith('!') ? fixture.folder / rarName.mid(1).toStdString()
                                                        : MakeFile(fixture.folder / rarName.toStdString());
        std::string cacheText = cache.toStdString();
        if (cache == ".")
            cacheText = fixture.folder.path();
        else if (cache == "/relative/x")  // an existing folder, named from the working folder
            cacheText = std::filesystem::relative(fixture.folder / "cache").string();
        else if (!cache.isEmpty())
            cacheText = fixture.folder / cacheText;

        CSysSetupStateDlg page(nullptr);
        Control<QLineEdit>(page, "1122")->setText(QString::fromStdString(rar));
        Control<QLineEdit>(page, "1430")->setText(QString::fromStdString(cacheText));
        QTest::mouseClick(Control<QPushButton>(page, "1436"), Qt::LeftButton);
        QCOMPARE(fixture.prompter.Texts(), QStringList{box});
        QCOMPARE(fixture.TempIni().Read("rar_path", "SYSTEM"), saved ? rar : std::string());
        QCOMPARE(fixture.TempIni().Read("Path", "CACHE"), fixture.folder / storedCache.toStdString());
        if (saved) QVERIFY(std::filesystem::is_directory(fixture.folder / storedCache.toStdString()));
    }

    // The service runs the archiver as root: one that another user could replace is never saved.
    void SaveRefusesAnArchiverOthersCanChange_data() {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("nobodysFile");
        QTest::addColumn<bool>("saved");
        QTest::newRow("root's, closed") << 0755 << 0755 << false << true;
        QTest::newRow("others may write it") << 0757 << 0755 << false << false;
        QTest::newRow("its group may write it") << 0775 << 0755 << false << false;
        QTest::newRow("not executable") << 0644 << 0755 << false << false;
        QTest::newRow("another user's") << 0755 << 0755 << true << false;
        QTest::newRow("others may write its folder") << 0755 << 0777 << false << false;
    }
    void SaveRefusesAnArchiverOthersCanChange() {
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(bool, nobodysFile);
        QFETCH(bool, saved);
        Fixture fixture;
        std::filesystem::create_directories(fixture.folder / "tools");
        const std::string rar = MakeFile(fixture.folder / "tools/rar");
        QCOMPARE(chmod(rar.c_str(), mode_t(fileMode)), 0);
        QCOMPARE(chmod((fixture.folder / "tools").c_str(), mode_t(folderMode)), 0);
        const std::optional<zov::test::UserIds> nobody = zov::test::NobodyIds();
        QVERIFY(nobody.has_value());
        if (nobodysFile) QCOMPARE(chown(rar.c_str(), nobody->uid, nobody->gid), 0);

        CSysSetupStateDlg page(nullptr);
        Control<QLineEdit>(page, "1122")->setText(QString::fromStdString(rar));
        QTest::mouseClick(Control<QPushButton>(page, "1436"), Qt::LeftButton);
        QCOMPARE(fixture.prompter.Texts().value(0).startsWith("设置保存成功"), saved);
        if (!saved) QCOMPARE(fixture.prompter.Texts(), QStringList{kNotTrusted});
        QCOMPARE(fixture.TempIni().Read("rar_path", "SYSTEM"), saved ? rar : std::string());
    }

    void LittleSpaceAsksBeforeSaving_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("saved");
        QTest::newRow("yes") << int(Prompter::Answer::Yes) << true;
        QTest::newRow("no") << int(Prompter::Answer::No) << false;
    }
    void LittleSpaceAsksBeforeSaving() {
        QFETCH(int, answer);
        QFETCH(bool, saved);
        Fixture fixture(2 * kGiB + kGiB / 2);
        const std::string rar = MakeFile(fixture.folder / "rar");
        CSysSetupStateDlg page(nullptr);
        fixture.prompter.Script({Prompter::Answer(answer)});
        Control<QLineEdit>(page, "1122")->setText(QString::fromStdString(rar));
        Control<QLineEdit>(page, "1430")->setText(QString::fromStdString(fixture.folder.path()));
        QTest::mouseClick(Control<QPushButton>(page, "1436"), Qt::LeftButton);
        const auto boxes = fixture.prompter.Boxes();
        QCOMPARE(boxes.at(0).caption, QString("警告"));
        QCOMPARE(boxes.at(0).buttons, Prompter::Buttons::YesNo);
        QCOMPARE(boxes.at(0).defaultAnswer, Prompter::Answer::No);
        QCOMPARE(boxes.size(), saved ? 2 : 1);
        // Kept as entered: the program folder itself, not its cache folder.
        QCOMPARE(fixture.TempIni().Read("Path", "CACHE"),
                 saved ? fixture.folder.path() : fixture.folder / "cache/");
        QCOMPARE(fixture.TempIni().Read("rar_path", "SYSTEM"), saved ? rar : std::string());
    }

    void UnreadableFreeSpaceSavesNothingAndSaysSo() {
        Fixture fixture(std::nullopt);
        const std::string rar = MakeFile(fixture.folder / "rar");
        CSysSetupStateDlg page(nullptr);
        Control<QLineEdit>(page, "1122")->setText(QString::fromStdString(rar));
        Control<QLineEdit>(page, "1430")->setText(QString::fromStdString(fixture.folder / "other/"));
        QTest::mouseClick(Control<QPushButton>(page, "1436"), Qt::LeftButton);
        QCOMPARE(fixture.prompter.Texts(), QStringList{"设置的cache目录无效"});
        QCOMPARE(fixture.TempIni().Read("Path", "CACHE"), fixture.folder / "cache/");
        QCOMPARE(fixture.TempIni().Read("rar_path", "SYSTEM"), std::string());
    }

    void SpaceWarningOnceAfterOpening_data() {
        QTest::addColumn<qint64>("freeBytes");  // -1: unreadable
        QTest::addColumn<int>("boxes");
        QTest::newRow("2.9 GiB") << qint64(3 * kGiB - 1) << 1;
        QTest::newRow("3 GiB") << qint64(3 * kGiB) << 0;
        QTest::newRow("unreadable") << qint64(-1) << 0;
    }
    void SpaceWarningOnceAfterOpening() {
        QFETCH(qint64, freeBytes);
        QFETCH(int, boxes);
        Fixture fixture(freeBytes < 0 ? std::nullopt : std::optional<std::uint64_t>(freeBytes));
        CSysSetupStateDlg page(nullptr);
        QTest::qWait(1500);
        QCOMPARE(fixture.prompter.Boxes().size(), boxes);
        if (boxes > 0)
            QCOMPARE(fixture.prompter.Texts().at(0),
                     QString::fromStdString(
                         "Cache目录[" + fixture.folder / "cache/" +
                         "]所在磁盘存储空间不多了（不足3G）。\n\n请清理磁盘或者更换Cache目录。"));
        QTest::qWait(1200);
        QCOMPARE(fixture.prompter.Boxes().size(), boxes);
    }

    void AMissingCacheFolderIsReset_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("told");
        QTest::newRow("gone") << "/nonexistent/zov-cache/" << true;
        QTest::newRow("unset") << "" << false;
    }
    void AMissingCacheFolderIsReset() {
        QFETCH(QString, stored);
        QFETCH(bool, told);
        Fixture fixture;
        std::filesystem::remove(fixture.folder / "cache");
        fixture.TempIni().Write("Path", "CACHE", stored.toStdString());
        CSysSetupStateDlg page(nullptr);
        const std::string reset = fixture.folder / "cache/";
        QVERIFY(std::filesystem::is_directory(reset));
        QCOMPARE(fixture.TempIni().Read("Path", "CACHE"), reset);
        QCOMPARE(Control<QLineEdit>(page, "1430")->text(), QString::fromStdString(reset));
        QStringList expected;
        if (told)
            expected << QString::fromStdString("Cache目录[" + stored.toStdString() + "]不存在!\n\n将重置为[" +
                                               reset + "]");
        QCOMPARE(fixture.prompter.Texts(), expected);
    }

    void TodaysCountsComeFromTheLogFiles() {
        Fixture fixture;
        auto write = [](int category, const char* result) {
            zov::CQelLog log;
            log.SetCategory(category);
            log.SetType(9);
            log.SetTaskName("任务");
            log.SetResult(result);
            log.Start();
            QVERIFY(log.Write());
        };
        write(zov::kLogFiles, zov::kLogSucceeded);
        write(zov::kLogFiles, zov::kLogFailed);
        write(zov::kLogSqlServer, zov::kLogSucceeded);
        write(zov::kLogMySql, zov::kLogSucceeded);
        write(zov::kLogMySql, "其他");
        // Yesterday's file and another folder spelling count nothing.
        WriteFile(zov::LogFolder() + "Files/2001-01-01.log", "x\t成功\tx\n");
        WriteFile(zov::LogFolder() + "files/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d") + ".log",
                  "x\t成功\tx\n");
        CSysSetupStateDlg page(nullptr);
        page.ShowTodayCounts();
        QCOMPARE(Control<QLabel>(page, "1431")->text(), QString("【今日备份：成功 3 项，失败 2 项】"));
        SaveScreenshot(page, "settings-state-counts");
    }

    void EmptyStateMessageSaysWhetherTheServiceRuns() {
        Fixture fixture;
        CSysSetupStateDlg page(nullptr);
        auto* line = Control<QLabel>(page, "1433");
        page.ShowState("");
        QCOMPARE(line->text(), QString("[错误：系统异常，请修复]"));

        const std::string program = fixture.folder / "zovsvc";
        std::filesystem::copy_file("/bin/sleep", program);
        zov::ProcessOptions options;
        options.timeout = std::chrono::seconds(30);
        std::jthread service([&] { zov::RunProcess({program, "3"}, options); });
        QTRY_VERIFY_WITH_TIMEOUT((page.ShowState(""), line->text() == "[备份任务空闲]"), 5000);

        page.ShowState("正在压缩：/data");
        page.ShowState("");
        QCOMPARE(line->text(), QString("正在压缩：/data"));
        QTest::qWait(1100);
        page.ShowState("");
        QCOMPARE(line->text(), QString("[备份任务空闲]"));
    }

    void StatusLinesOfTheServiceReachTheStateLine() {
        Fixture fixture;
        CSysSetupStateDlg page(nullptr);
        zov::StateLogSink sink(fixture.folder.path());
        QTRY_VERIFY_WITH_TIMEOUT(
            (sink.Status("正在备份：任务一"), Control<QLabel>(page, "1433")->text() == "正在备份：任务一"),
            5000);
    }

    void LinksCountAndOpenTheMakersPages_data() {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("unset") << "" << QStringList{};
        QTest::newRow("set") << "https://maker.test" << QStringList{"https://maker.test/support"};
    }
    void LinksCountAndOpenTheMakersPages() {
        QFETCH(QString, site);
        QFETCH(QStringList, opened);
        Fixture fixture;
        fixture.ConfigIni().Write("SiteUrl", "QEL", site.toStdString());
        UsageCounters().Clear();
        CSysSetupSubDlg page(nullptr);
        page.show();
        QTest::mouseClick(Control<QLabel>(page, "1446"), Qt::LeftButton);
        QStringList openedNow;
        for (const auto& target : fixture.shell.Opened()) openedNow << QString::fromStdString(target);
        QCOMPARE(openedNow, opened);
        QCOMPARE(UsageCounters().Value(Counter::AdvLink), 1);
    }

    void OpenButtonsCountAndOpenFolders() {
        Fixture fixture;
        const std::string rar = MakeFile(fixture.folder / "tools/rar");
        UsageCounters().Clear();
        CSysSetupStateDlg page(nullptr);
        page.show();
        Control<QLineEdit>(page, "1122")->setText(QString::fromStdString(rar));
        QTest::mouseClick(Control<QPushButton>(page, "1167"), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(page, "1435"), Qt::LeftButton);
        Control<QLineEdit>(page, "1430")->setText("/nonexistent/");
        QTest::mouseClick(Control<QPushButton>(page, "1435"), Qt::LeftButton);
        QCOMPARE(fixture.shell.Opened(),
                 (std::vector<std::string>{fixture.folder / "tools/", fixture.folder / "cache/"}));
        QCOMPARE(UsageCounters().Value(Counter::OpenDir), 2);
    }

    // Nothing to open them with: each click says what could not be opened.
    void OpenButtonsAndLinksSayWhenNothingOpens() {
        Fixture fixture;
        zov::RecordingShell noOpener(false);
        zov::SetShell(&noOpener);
        fixture.ConfigIni().Write("RarUrl", "QEL", "https://maker.test/rar");
        fixture.ConfigIni().Write("SiteUrl", "QEL", "https://maker.test");
        const std::string rar = MakeFile(fixture.folder / "rar");
        CSysSetupStateDlg state(nullptr);
        state.show();
        Control<QLineEdit>(state, "1122")->setText(QString::fromStdString(rar));
        QTest::mouseClick(Control<QPushButton>(state, "1167"), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(state, "1435"), Qt::LeftButton);
        QTest::mouseClick(Control<QLabel>(state, "1438"), Qt::LeftButton);
        CSysSetupSubDlg settings(nullptr);
        settings.show();
        QTest::mouseClick(Control<QLabel>(settings, "1446"), Qt::LeftButton);
        const QStringList texts = fixture.prompter.Texts();
        QCOMPARE(texts.size(), 5);
        QCOMPARE(texts.mid(0, 2),
                 (QStringList{zov::gui::test::CannotOpenText("文件夹", fixture.folder.path()),
                              zov::gui::test::CannotOpenText("文件夹", fixture.folder / "cache/")}));
        QCOMPARE(texts.mid(3),
                 (QStringList{zov::gui::test::CannotOpenText("网址", "https://maker.test/rar"),
                              zov::gui::test::CannotOpenText("网址", "https://maker.test/support")}));
    }

    void DownloadNamesTheProgramFolder() {
        Fixture fixture;
        CSysSetupStateDlg page(nullptr);
        page.show();
        QTest::mouseClick(Control<QLabel>(page, "1438"), Qt::LeftButton);
        QCOMPARE(fixture.prompter.Texts(),
                 QStringList{QString::fromStdString("下载rar.exe后，请将其放在软件安装目录[" +
                                                    fixture.folder.path() + "]下。")});
        QVERIFY(fixture.shell.Opened().empty());
    }

    void RepairWithoutTheProgramLeavesTheServiceAlone() {
        Fixture fixture;
        CSysSetupSubDlg page(nullptr);
        page.show();
        QTest::mouseClick(Control<QPushButton>(page, "1095"), Qt::LeftButton);
        QCOMPARE(fixture.prompter.Texts(),
                 QStringList{
                     QString::fromStdString("文件：" + fixture.folder / "zovsvc" + " 不存在，无法修复！")});
        QVERIFY(Control<QPushButton>(page, "1095")->isEnabled());
        QVERIFY(!std::filesystem::exists(fixture.folder / "run/services"));
    }
};

QTEST_MAIN(SysSetupDlgTest)
#include "SysSetupDlgTest.moc"
