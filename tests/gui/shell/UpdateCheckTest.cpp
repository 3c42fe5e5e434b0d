#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/shell/HttpTransfer.h"
#include "gui/shell/UpdateCheck.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/ColorRef.h"
#include "support/GuiTestSupport.h"
#include "support/HttpTestServer.h"
#include "support/RecordingPrompter.h"
#include "tests/support/ManualClock.h"
#include "tests/support/RecordingShell.h"

using namespace zov::gui;
using zov::gui::test::HttpTestServer;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::TempProgramFolder;
using namespace std::chrono_literals;

namespace {

// The shell and the prompter of one test.
struct Recorders {
    RecordingPrompter prompter;
    zov::RecordingShell shell;
    Recorders() { zov::SetShell(&shell); }
    ~Recorders() { zov::SetShell(nullptr); }
};

void SetUpdateServers(const std::string& servers) {
    zov::IniFile(zov::ConfigIniPath()).Write("UpdateServers", "QEL", servers);
}

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetHttpTimeouts({1000ms, 2000ms}); }

    void ReplyForms_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QStringList>("boxes");  // text|caption of each box
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<int>("answer");  // the answer to a question
        const QString noConnection = "检查升级信息获取数据失败，请检查网络是否畅通。|Velmorand";
        const QString latest = "当前版本:3.5 已经是最新版本，无需升级。|Velmorand";
        const int yes = int(Prompter::Answer::Yes);
        const int no = int(Prompter::Answer::No);
        QTest::newRow("empty, requested") << "" << true << QStringList{noConnection} << QStringList{} << yes;
        QTest::newRow("empty, silent") << "" << false << QStringList{} << QStringList{} << yes;
        QTest::newRow("x") << "x" << true << QStringList{noConnection} << QStringList{} << yes;
        QTest::newRow("no status end")
            << "<status>1" << true << QStringList{"检查升级信息数据返回错误：\n<status>1|Velmorand"}
            << QStringList{} << yes;
        QTest::newRow("upper-case status end")
            << "<STATUS>1</STATUS>" << true
            << QStringList{"检查升级信息数据返回错误：\n<STATUS>1</STATUS>|Velmorand"} << QStringList{}
            << yes;
        QTest::newRow("3.10 is not newer") << "<status>1</status><newver>3.10</newver>" << true
                                           << QStringList{latest} << QStringList{} << yes;
        QTest::newRow("one-character version")
            << "<status>1</status><newver>4</newver>" << true << QStringList{} << QStringList{} << yes;
        QTest::newRow("newer, download taken")
            << "<status>1</status><newver>4.0</newver><upmsg>New<br>Things</upmsg><upurl>HTTP://Example.TEST/"
               "D</upurl>"
            << true << QStringList{"new\nthings\n\n|升级提示"} << QStringList{"http://example.test/d"} << yes;
        QTest::newRow("newer, download declined")
            << "<status>1</status><newver>4.0</newver><upmsg>x</upmsg><upurl>http://example.test/d</upurl>"
            << true << QStringList{"x\n\n|升级提示"} << QStringList{} << no;
        QTest::newRow("newer, not a web address")
            << "<status>1</status><newver>4.0</newver><upmsg>x</upmsg><upurl>file:///etc/passwd</upurl>"
            << true
            << QStringList{"x\n\n|升级提示",
                           "无法打开网址[file:///etc/passwd]：它不是 http:// 或 https:// 开头的网址。|错误"}
            << QStringList{} << yes;
        QTest::newRow("newer, short address")
            << "<status>1</status><newver>4.0</newver><upmsg>x</upmsg><upurl>a.b</upurl>" << true
            << QStringList{"x\n\n|新版提示"} << QStringList{} << yes;
        QTest::newRow("newer, silent")
            << "<status>1</status><newver>4.0</newver><upurl>http://example.test/d</upurl>" << false
            << QStringList{} << QStringList{} << yes;
        QTest::newRow("error with address")
            << "<status>0</status><errmsg>Bad<br>key!</errmsg><errurl>https://example.test/e</errurl>" << true
            << QStringList{"bad\nkey!|提示"} << QStringList{"https://example.test/e"} << yes;
        QTest::newRow("error without address") << "<status>0</status><errmsg>bad key!</errmsg>" << true
                                               << QStringList{"bad key!|提示"} << QStringList{} << yes;
        QTest::newRow("short error") << "<status>0</status><errmsg>bad</errmsg>" << true << QStringList{}
                                     << QStringList{} << yes;
        QTest::newRow("other status")
            << "<status>7</status><newver>4.0</newver>" << true << QStringList{} << QStringList{} << yes;
    }
    void ReplyForms() {
        QFETCH(QString, reply);
        QFETCH(bool, verbose);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, opened);
        QFETCH(int, answer);
        TempProgramFolder folder;
        Recorders recorders;
        recorders.prompter.Script({Prompter::Answer(answer)});
        UpdateCheck check;
        check.Finish(reply.toStdString(), verbose);
        QStringList shown;
        for (const auto& box : recorders.prompter.Boxes()) shown << box.text + "|" + box.caption;
        QCOMPARE(shown, boxes);
        QStringList openedNow;
        for (const auto& target : recorders.shell.Opened()) openedNow << QString::fromStdString(target);
        QCOMPARE(openedNow, opened);
    }

    void ALongWrongReplyShowsItsFirst200Bytes() {
        TempProgramFolder folder;
        Recorders recorders;
        UpdateCheck check;
        check.Finish(std::string(300, 'z'), true);
        QCOMPARE(recorders.prompter.Texts().at(0), "检查升级信息数据返回错误：\n" + QString(200, 'z'));
    }

    void BannerEntriesArePassedWhateverTheStatus_data() {
        QTest::addColumn<QString>("status");
        QTest::newRow("1") << "1";
        QTest::newRow("0") << "0";
        QTest::newRow("other") << "9";
    }
    void BannerEntriesArePassedWhateverTheStatus() {
        QFETCH(QString, status);
        TempProgramFolder folder;
        Recorders recorders;
        UpdateCheck check;
        QSignalSpy banner(&check, &UpdateCheck::bannerText);
        check.Finish("<status>" + status.toStdString() + "</status><ads>Hello{*}1{*}HTTP://A.TEST</ads>",
                     false);
        QCOMPARE(banner.size(), 1);
        QCOMPARE(banner.at(0).at(0).toString(), QString("hello{*}1{*}http://a.test"));
    }

    void DebugFolderShowsTheWholeReplyOfARequestedCheck() {
        TempProgramFolder folder;
        std::filesystem::create_directory(folder / "debug");
        Recorders recorders;
        UpdateCheck check;
        check.Finish("<STATUS>5</status>", true);
        QCOMPARE(recorders.prompter.Boxes().size(), 1);
        QCOMPARE(recorders.prompter.Boxes().at(0).caption, QString("调试模式返回数据"));
        QCOMPARE(recorders.prompter.Texts().at(0), QString("<status>5</status>"));
    }

    void SuccessClearsTheCountersAndTheFirstStart_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("acknowledged") << "1" << true;
        QTest::newRow("refused") << "0" << false;
    }
    void SuccessClearsTheCountersAndTheFirstStart() {
        QFETCH(QString, status);
        QFETCH(bool, cleared);
        TempProgramFolder folder;
        Recorders recorders;
        UsageCounters().Load();
        UsageCounters().Add(Counter::AdvLink, 3);
        QVERIFY(UsageCounters().Save());
        UpdateCheck check;
        check.SetFirstStart(true);
        check.Finish("<status>" + status.toStdString() + "</status>", false);
        QCOMPARE(std::filesystem::exists(CUserCache::FilePath()), !cleared);
        QCOMPARE(UsageCounters().Value(Counter::AdvLink), cleared ? 0 : 3);
        QCOMPARE(check.firstStart(), !cleared);
        UsageCounters().Clear();
    }

    // The whole exchange: the report goes out as the module, the counters are cleared, nothing is shown.
    void ASilentCheckAgainstTheServerClearsTheCounters() {
        TempProgramFolder folder;
        Recorders recorders;
        zov::ManualClock clock(1700000000);
        zov::SetClock(&clock);
        HttpTestServer server;
        server.Script(
            {{200, "<qel><status>1</status><newver>9.9</newver><ads>a{*}2{*}http://b.test</ads></qel>"}});
        SetUpdateServers(server.base());
        UsageCounters().Load();
        UsageCounters().Add(Counter::DoFileBack, 2);
        QVERIFY(UsageCounters().Save());
        {
            UpdateCheck check;
            QSignalSpy finished(&check, &UpdateCheck::checking);
            QSignalSpy banner(&check, &UpdateCheck::bannerText);
            check.Start(false);
            QVERIFY(check.running());
            QTRY_VERIFY_WITH_TIMEOUT(!check.running(), 10000);
            QCOMPARE(finished.size(), 2);
            QCOMPARE(banner.size(), 1);
        }
        zov::SetClock(nullptr);
        QCOMPARE(recorders.prompter.Boxes().size(), 0);
        QCOMPARE(UsageCounters().Value(Counter::DoFileBack), 0);
        QVERIFY(!std::filesystem::exists(CUserCache::FilePath()));
        const auto requests = server.Requests();
        QCOMPARE(requests.size(), std::size_t(1));
        QVERIFY(requests[0].target.starts_with("/GetNewVer.asp?hrand="));
    }

    void WithoutServersARequestedCheckSaysSoAndASilentOneNothing_data() {
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<int>("boxes");
        QTest::newRow("requested") << true << 1;
        QTest::newRow("silent") << false << 0;
    }
    void WithoutServersARequestedCheckSaysSoAndASilentOneNothing() {
        QFETCH(bool, verbose);
        QFETCH(int, boxes);
        TempProgramFolder folder;
        Recorders recorders;
        zov::ManualClock clock(1700000000);
        zov::SetClock(&clock);
        UpdateCheck check;
        check.Start(verbose);
        QTRY_VERIFY_WITH_TIMEOUT(!check.running(), 10000);
        zov::SetClock(nullptr);
        QCOMPARE(recorders.prompter.Boxes().size(), boxes);
        if (boxes > 0)
            QCOMPARE(recorders.prompter.Texts().at(0),
                     QString("检查升级信息获取数据失败，请检查网络是否畅通。"));
    }

    void ClosingDuringACheckEndsItsWorker() {
        TempProgramFolder folder;
        Recorders recorders;
        HttpTestServer server;
        server.Script({{200, "<qel><status>1</status></qel>", 10s}});
        SetUpdateServers(server.base());
        zov::ManualClock clock(1700000000);
        zov::SetClock(&clock);
        QElapsedTimer timer;
        {
            UpdateCheck check;
            check.Start(true);
            QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), std::size_t(1), 5000);
            timer.start();
        }
        zov::SetClock(nullptr);
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(recorders.prompter.Boxes().size(), 0);
    }

    void ProductPageAndSiteAreOpenedOnlyWhenSet_data() {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("unset") << "" << QStringList{};
        QTest::newRow("set") << "https://maker.test/"
                             << QStringList{"https://maker.test/?f=qelzov", "https://maker.test/"};
        QTest::newRow("not web") << "javascript:alert(1)" << QStringList{};
    }
    void ProductPageAndSiteAreOpenedOnlyWhenSet() {
        QFETCH(QString, site);
        QFETCH(QStringList, opened);
        TempProgramFolder folder;
        Recorders recorders;
        zov::IniFile(zov::ConfigIniPath()).Write("SiteUrl", "QEL", site.toStdString());
        UsageCounters().Clear();
        UpdateCheck check;
        check.OpenProductPage();
        check.OpenMakerSite();
        QStringList openedNow;
        for (const auto& target : recorders.shell.Opened()) openedNow << QString::fromStdString(target);
        QCOMPARE(openedNow, opened);
        QCOMPARE(UsageCounters().Value(Counter::AdvLink), 2);
    }

    void BannerColourCodes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("1 red") << "1" << QColor(255, 0, 0);
        QTest::newRow("2 blue") << "2" << QColor(0, 0, 255);
        QTest::newRow("3 green") << "3" << QColor(0, 128, 0);
        QTest::newRow("4 yellow") << "4" << QColor(255, 255, 0);
        QTest::newRow("5 white") << "5" << QColor(255, 255, 255);
        QTest::newRow("6 blue") << "6" << QColor(0, 0, 255);
        QTest::newRow("7 black") << "7" << QColor(0, 0, 0);
        QTest::newRow("other black") << "red" << QColor(0, 0, 0);
    }
    void BannerColourCodes() {
        QFETCH(QString, code);
        QFETCH(QColor, colour);
        QCOMPARE(ColorFromCode(code), colour);
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "UpdateCheckTest.moc"
