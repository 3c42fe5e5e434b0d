#include <QElapsedTimer>
#include <QTest>

#include "gui/shell/HttpGet.h"
#include "gui/shell/HttpTransfer.h"
#include "support/HttpTestServer.h"

using zov::gui::HttpGet;
using zov::gui::kHttpBodyLimit;
using zov::gui::test::HttpTestServer;
using namespace std::chrono_literals;

class HttpGetTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { zov::gui::SetHttpTimeouts({1000ms, 2000ms}); }

    void RepliesAreTakenOnlyWhenWholeAndSmallEnough_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<qsizetype>("bodySize");
        QTest::addColumn<qsizetype>("claimedLength");  // -1: the body's size; -2: no Content-Length
        QTest::addColumn<bool>("taken");
        QTest::newRow("ok") << 200 << qsizetype(11) << qsizetype(-1) << true;
        QTest::newRow("exactly the limit") << 200 << qsizetype(kHttpBodyLimit) << qsizetype(-1) << true;
        QTest::newRow("over the limit") << 200 << qsizetype(kHttpBodyLimit + 1) << qsizetype(-1) << false;
        QTest::newRow("over the limit, no length")
            << 200 << qsizetype(kHttpBodyLimit + 1) << qsizetype(-2) << false;
        QTest::newRow("small length, no body yet")
            << 200 << qsizetype(0) << qsizetype(8 * kHttpBodyLimit) << false;
        QTest::newRow("not found") << 404 << qsizetype(11) << qsizetype(-1) << false;
        QTest::newRow("server error") << 500 << qsizetype(0) << qsizetype(-1) << false;
    }
    void RepliesAreTakenOnlyWhenWholeAndSmallEnough() {
        QFETCH(int, status);
        QFETCH(qsizetype, bodySize);
        QFETCH(qsizetype, claimedLength);
        QFETCH(bool, taken);
        HttpTestServer server;
        HttpTestServer::Reply reply{status, std::string(static_cast<std::size_t>(bodySize), 'a')};
        if (claimedLength >= 0) reply.contentLength = static_cast<std::size_t>(claimedLength);
        reply.omitLength = claimedLength == -2;
        server.Script({reply});
        std::string out = "old";
        QCOMPARE(HttpGet(server.base() + "/x", out), taken);
        QCOMPARE(out.size(), taken ? static_cast<std::size_t>(bodySize) : std::size_t(0));
    }

    void AStalledServerEndsWithinTheTotalTimeOut() {
        HttpTestServer server;
        server.Script({{200, "late", 10s}});
        QElapsedTimer timer;
        timer.start();
        std::string out;
        QVERIFY(!HttpGet(server.base() + "/stall", out));
        QVERIFY(timer.elapsed() < 5000);
    }

    void NoServerIsAFailure() {
        std::string out;
        HttpTestServer server;
        const std::string closed = "http://127.0.0.1:1/x";
        QVERIFY(!HttpGet(closed, out));
    }

    void OnlyWebAddressesAreFetched_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("file") << "file:///etc/passwd";
        QTest::newRow("ftp") << "ftp://127.0.0.1/x";
        QTest::newRow("no scheme") << "/etc/passwd";
        QTest::newRow("empty") << "";
    }
    void OnlyWebAddressesAreFetched() {
        QFETCH(QString, url);
        std::string out;
        QVERIFY(!HttpGet(url.toStdString(), out));
        QVERIFY(out.empty());
    }
};

QTEST_MAIN(HttpGetTest)
#include "HttpGetTest.moc"
