#include <QTest>
#include <filesystem>

#include "engine/util/Aes.h"
#include "gui/shell/UserCache.h"
#include "support/GuiTestSupport.h"
#include "support/HttpTestServer.h"

using zov::gui::CDES;
using zov::gui::Counter;
using zov::gui::CUserCache;
using zov::gui::test::HttpTestServer;
using zov::gui::test::ReadFile;
using zov::gui::test::TempProgramFolder;
using zov::gui::test::WriteFile;

namespace {

constexpr const char* kAllZero =
    "<AddFileBack>0</AddFileBack><DoFileBack>0</DoFileBack><RestoreFile>0</RestoreFile>"
    "<AddMssqlBack>0</AddMssqlBack><DoMssqlBack>0</DoMssqlBack><RestoreMssql>0</RestoreMssql>"
    "<AddMysqlBack>0</AddMysqlBack><DoMysqlBack>0</DoMysqlBack><RestoreMysql>0</RestoreMysql>"
    "<AdvLink>0</AdvLink><OpenDir>0</OpenDir>";
constexpr const char* kTestKey = "testkey-12";

}  // namespace

class UserCacheTest : public QObject {
    Q_OBJECT

  private slots:
    void ReportOfZeroCountersHoldsElevenPairs() {
        TempProgramFolder folder;
        CUserCache counters;
        QCOMPARE(QString::fromStdString(counters.BuildReport()),
                 QString("AddFileBack=0{#}DoFileBack=0{#}RestoreFile=0{#}AddMssqlBack=0{#}DoMssqlBack=0{#}"
                         "RestoreMssql=0{#}AddMysqlBack=0{#}DoMysqlBack=0{#}RestoreMysql=0{#}AdvLink=0{#}"
                         "OpenDir=0"));
    }

    void SavedFileIsTheTagTextEightBytesPerCharacterInTheStoreCipher() {
        TempProgramFolder folder;
        CUserCache counters;
        counters.Load(kTestKey);
        QVERIFY(counters.Save(kTestKey));
        const std::string file = ReadFile(CUserCache::FilePath());
        QCOMPARE(file.size(), std::string(kAllZero).size() * 8);
        QCOMPARE(QString::fromStdString(CDES().LoadText(CUserCache::FilePath(), kTestKey)),
                 QString(kAllZero));
        QVERIFY(file == zov::CAES().EncryptText(kAllZero, kTestKey));
    }

    void CountsSurviveARunThroughTheFile() {
        TempProgramFolder folder;
        {
            CUserCache counters;
            counters.Load();
            counters.Add(Counter::DoMysqlBack);
            counters.Add(Counter::OpenDir, 3);
        }
        CUserCache again;
        again.Load();
        QCOMPARE(again.Value(Counter::DoMysqlBack), 1);
        QCOMPARE(again.Value(Counter::OpenDir), 3);
        QCOMPARE(again.Value(Counter::AddFileBack), 0);
    }

    void LoadTakesEachCounterFromItsTags_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("openDir");
        QTest::addColumn<int>("advLink");
        QTest::newRow("only OpenDir") << "<OpenDir>5</OpenDir>" << 5 << 0;
        QTest::newRow("two") << "<AdvLink>12</AdvLink><OpenDir>7</OpenDir>" << 7 << 12;
        QTest::newRow("not a number") << "<OpenDir>x9</OpenDir>" << 0 << 0;
        QTest::newRow("leading digits") << "<OpenDir>42abc</OpenDir>" << 42 << 0;
        QTest::newRow("no tags") << "garbage" << 0 << 0;
    }
    void LoadTakesEachCounterFromItsTags() {
        QFETCH(QString, text);
        QFETCH(int, openDir);
        QFETCH(int, advLink);
        TempProgramFolder folder;
        CUserCache counters;
        QVERIFY(CDES().SaveText(text.toStdString(), CUserCache::FilePath(), kTestKey));
        counters.Add(Counter::DoFileBack, 9);
        counters.Load(kTestKey);
        QCOMPARE(counters.Value(Counter::OpenDir), openDir);
        QCOMPARE(counters.Value(Counter::AdvLink), advLink);
        QCOMPARE(counters.Value(Counter::DoFileBack), 0);
        QCOMPARE(QString::fromStdString(counters.lastText()), text);
    }

    void AnEmptyFileLoadsAsZerosAndIsRewritten() {
        TempProgramFolder folder;
        QVERIFY(WriteFile(CUserCache::FilePath(), ""));
        {
            CUserCache counters;
            counters.Load();
            QCOMPARE(counters.Value(Counter::OpenDir), 0);
        }
        QCOMPARE(ReadFile(CUserCache::FilePath()).size(), std::string(kAllZero).size() * 8);
    }

    void AFileOfAnotherKeyGivesZeros() {
        TempProgramFolder folder;
        CUserCache counters;
        QVERIFY(CDES().SaveText("<OpenDir>5</OpenDir>", CUserCache::FilePath(), "otherkey"));
        counters.Load(kTestKey);
        QCOMPARE(counters.Value(Counter::OpenDir), 0);
    }

    // An early exit (second instance, refused store) ends before the counters were loaded.
    void CountersNeverLoadedAreNeverSaved() {
        TempProgramFolder folder;
        {
            CUserCache counters;
            counters.Load();
            counters.Add(Counter::RestoreFile, 4);
        }
        const std::string stored = ReadFile(CUserCache::FilePath());
        {
            CUserCache early;
            QVERIFY(!early.Save());
        }
        QVERIFY(ReadFile(CUserCache::FilePath()) == stored);
        CUserCache later;
        later.Load();
        QCOMPARE(later.Value(Counter::RestoreFile), 4);
    }

    void ClearDeletesTheFileAndZeroesTheCounters() {
        TempProgramFolder folder;
        CUserCache counters;
        counters.Load();
        counters.Add(Counter::AdvLink, 2);
        QVERIFY(counters.Save());
        QCOMPARE(counters.Clear(), 1);
        QVERIFY(!std::filesystem::exists(CUserCache::FilePath()));
        QCOMPARE(counters.Value(Counter::AdvLink), 0);
    }

    void TheFileIsPrivate() {
        TempProgramFolder folder;
        CUserCache counters;
        counters.Load();
        QVERIFY(counters.Save());
        const auto permissions = std::filesystem::status(CUserCache::FilePath()).permissions();
        QCOMPARE(permissions & std::filesystem::perms::others_all, std::filesystem::perms::none);
        const auto logFolder = std::filesystem::path(CUserCache::FilePath()).parent_path();
        QCOMPARE(std::filesystem::status(logFolder).permissions(), std::filesystem::perms::owner_all);
    }

    void ConcurrentAddsAreAllCounted() {
        TempProgramFolder folder;
        CUserCache counters;
        {
            std::vector<std::jthread> threads;
            for (int t = 0; t < 4; ++t)
                threads.emplace_back([&counters] {
                    for (int i = 0; i < 10000; ++i) counters.Add(Counter::DoFileBack);
                });
        }
        QCOMPARE(counters.Value(Counter::DoFileBack), 40000);
    }

    void StatisticsRequestNeedsAnAddress() {
        TempProgramFolder folder;
        HttpTestServer server;
        zov::gui::CQelSetup empty;
        empty.SetReportParams("qelzov", "");
        QCOMPARE(empty.StartReport(), 0);

        zov::gui::CQelSetup report;
        report.SetReportParams("qelzov", server.base() + "/stats");
        QCOMPARE(report.StartReport(), 1);
        const auto requests = server.Requests();
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(requests[0].method), QString("GET"));
        QCOMPARE(QString::fromStdString(requests[0].target), QString("/stats?sk=qelzov&wv=99&bt=1&v=3.5"));
    }
};

QTEST_MAIN(UserCacheTest)
#include "UserCacheTest.moc"
