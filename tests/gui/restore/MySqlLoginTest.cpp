#include <QTest>
#include <chrono>
#include <string>
#include <thread>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/restore/MySqlLogin.h"
#include "support/GuiTestSupport.h"
#include "support/MySqlTestServer.h"
#include "support/SilentServer.h"
#include "support/TdsPeer.h"

using zov::gui::test::TempProgramFolder;
using namespace std::chrono_literals;

class MySqlLoginTest : public QObject {
    Q_OBJECT

  private slots:
    // Each answer comes within the time-out, by the connection of config.ini [MYSQL]; the error text is the
    // client library's.
    void AnswersWithinItsTimeOut_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("error");
        QTest::newRow("right password, socket") << "socket"
                                                << "right" << true << "";
        QTest::newRow("right password, port") << "port"
                                              << "right" << true << "";
        QTest::newRow("wrong password") << "socket"
                                        << "wrong" << false << "Access denied for user 'root'";
        QTest::newRow("no password") << "port"
                                     << "" << false << "Access denied for user 'root'";
        QTest::newRow("server stopped, socket") << "gone socket"
                                                << "right" << false << "Can't connect";
        QTest::newRow("server stopped, port") << "closed port"
                                              << "right" << false << "Can't connect";
        QTest::newRow("server hung, port") << "silent port"
                                           << "right" << false << "Lost connection";
        QTest::newRow("server hung, socket") << "silent socket"
                                             << "right" << false << "Lost connection";
        QTest::newRow("no port") << "bad port"
                                 << "right" << false << "config.ini [MYSQL] Port 无效：33o6";
    }
    void AnswersWithinItsTimeOut() {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(bool, loggedIn);
        QFETCH(QString, error);
        TempProgramFolder folder;
        const zov::test::MySqlTestServer running = zov::test::TestServer();
        const zov::IniFile config(zov::ConfigIniPath());
        const zov::test::SilentServer silentPort;
        const zov::test::SilentServer silentSocket(folder / "silent.sock");
        if (server == "socket") config.Write("Socket", "MYSQL", running.socket);
        if (server == "port") config.Write("Port", "MYSQL", running.port);
        if (server == "gone socket") config.Write("Socket", "MYSQL", folder / "mysqld.sock");
        if (server == "closed port") config.Write("Port", "MYSQL", std::to_string(zov::test::ClosedPort()));
        if (server == "silent port") config.Write("Port", "MYSQL", silentPort.port());
        if (server == "silent socket") config.Write("Socket", "MYSQL", silentSocket.path());
        if (server == "bad port") config.Write("Port", "MYSQL", "33o6");
        const std::string rootPassword = password == "right" ? running.rootPassword : password.toStdString();

        const auto timeout = 2s;
        std::string text = "left over";
        bool answer = !loggedIn;
        const auto start = std::chrono::steady_clock::now();
        // On a thread of its own, as a worker may call it; the leak check of the sanitizer build then sees
        // a handle that was not closed.
        std::thread([&] { answer = zov::gui::TestLogin("", rootPassword, text, timeout); }).join();
        const auto took = std::chrono::steady_clock::now() - start;
        QCOMPARE(answer, loggedIn);
        qInfo("%s: %lld ms", QTest::currentDataTag(), static_cast<long long>(took / 1ms));
        QVERIFY2(took < 2 * timeout + 1s, qPrintable(QString::number(took / 1ms) + " ms"));
        if (loggedIn) QVERIFY(text.empty());
        if (!loggedIn) QVERIFY(!text.empty());
        QVERIFY2(QString::fromStdString(text).contains(error), text.c_str());
        if (server == "silent port")
            QVERIFY2(text.find("127.0.0.1:" + silentPort.port()) != std::string::npos, text.c_str());
        if (server == "silent socket")
            QVERIFY2(text.find(silentSocket.path()) != std::string::npos, text.c_str());
    }
};

QTEST_MAIN(MySqlLoginTest)
#include "MySqlLoginTest.moc"
