#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include "gui/shell/HttpTransfer.h"
#include "gui/shell/UpdateClient.h"
#include "support/GuiTestSupport.h"
#include "support/HttpTestServer.h"

using namespace zov::gui;
using zov::gui::test::HttpTestServer;
using namespace std::chrono_literals;

namespace {

std::string Bytes(const QByteArray& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string EnvelopedPlain(const std::string& inner) { return "<qel>" + inner + "</qel>"; }

}  // namespace

class UpdateClientTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetHttpTimeouts({1000ms, 2000ms}); }

    // FIPS-197 appendix B and C.1.
    void BlocksFollowTheStandard_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("cipher");
        QTest::newRow("appendix B") << QByteArray("2b7e151628aed2a6abf7158809cf4f3c")
                                    << QByteArray("3243f6a8885a308d313198a2e0370734")
                                    << QByteArray("3925841d02dc09fbdc118597196a0b32");
        QTest::newRow("appendix C.1") << QByteArray("000102030405060708090a0b0c0d0e0f")
                                      << QByteArray("00112233445566778899aabbccddeeff")
                                      << QByteArray("69c4e0d86a7b0430d8cdb78070b4c55a");
    }
    void BlocksFollowTheStandard() {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        const LIB_CAES aes(Bytes(key));
        std::string block = Bytes(plain);
        aes.EncryptBlock(reinterpret_cast<std::uint8_t*>(block.data()));
        QCOMPARE(QByteArray::fromStdString(block).toHex(), cipher);
        aes.DecryptBlock(reinterpret_cast<std::uint8_t*>(block.data()));
        QCOMPARE(QByteArray::fromStdString(block).toHex(), plain);
    }

    void TextsArePaddedWithZerosToWholeBlocks_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("hexLength");
        QTest::newRow("empty") << 0 << 32;
        QTest::newRow("15") << 15 << 32;
        QTest::newRow("16") << 16 << 64;
        QTest::newRow("17") << 17 << 64;
    }
    void TextsArePaddedWithZerosToWholeBlocks() {
        QFETCH(int, length);
        QFETCH(int, hexLength);
        const std::string text(static_cast<std::size_t>(length), 'q');
        const auto aes = CreateAesFromKey("kTr7mQpwZa");
        const std::string hex = AesEncryptToHex(*aes, text);
        QCOMPARE(int(hex.size()), hexLength);
        QVERIFY(QRegularExpression("^[0-9A-F]*$").match(QString::fromStdString(hex)).hasMatch());
        QCOMPARE(AesDecryptFromHex(*aes, hex), text);
        // The key is the text's first 16 bytes, zero-filled: a 10-character key ends in six zeros.
        std::string block = std::string("kTr7mQpwZa") + std::string(6, '\0');
        QCOMPARE(AesEncryptToHex(LIB_CAES(block + "ignored"), text), hex);
        // The last block enciphers the zeros after the text.
        std::string zeros(16, '\0');
        std::copy(text.begin() + static_cast<long>(text.size() / 16 * 16), text.end(), zeros.begin());
        aes->EncryptBlock(reinterpret_cast<std::uint8_t*>(zeros.data()));
        QCOMPARE(QString::fromStdString(hex.substr(hex.size() - 32)),
                 QString::fromLatin1(QByteArray::fromStdString(zeros).toHex().toUpper()));
    }

    void RequestCarriesTheEncipheredTextAndTheStamp() {
        HttpTestServer server;
        server.Script({{200, EnvelopedPlain("<status>1</status>")}});
        LIB_CQelAuthAPI client({server.base() + "/svc"});
        const std::string report = "AddFileBack=1{#}OpenDir=2";
        QCOMPARE(client.GetNewVer("qelzov", "3.5", report, false, false), std::string("<status>1</status>"));

        const auto requests = server.Requests();
        QCOMPARE(requests.size(), std::size_t(1));
        const auto& request = requests[0];
        QCOMPARE(QString::fromStdString(request.method), QString("POST"));
        QVERIFY(QRegularExpression(
                    R"(^/svc/GetNewVer\.asp\?hrand=\d{4}-\d\d-\d\d(\+|%20)\d\d(:|%3[aA])\d\d(:|%3[aA])\d\d$)")
                    .match(QString::fromStdString(request.target))
                    .hasMatch());
        QCOMPARE(QString::fromStdString(request.Header("Content-Type")),
                 QString("application/x-www-form-urlencoded"));
        QCOMPARE(QString::fromStdString(request.Header("User-Agent")), QString("Qel2"));
        QVERIFY(request.body.starts_with("c="));

        const std::string text = AesDecryptFromHex(*CreateAesFromKey("kTr7mQpwZa"), request.body.substr(2));
        const std::string module =
            AesEncryptToHex(*CreateAesFromKey(LIB_CQelAuthAPI::MakeModuleKey()), report);
        QCOMPARE(QString::fromStdString(text),
                 QString::fromStdString("<label>qelzov</label><ver>3.5</ver><module>" + module +
                                        "</module><more>{#}nouse{#}</more>"));
    }

    void RequestElements_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<bool>("withOs");
        QTest::addColumn<bool>("noMore");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");  // %OS% stands for the system's name
        QTest::newRow("bare") << "" << false << true << ""
                              << "<label>qelzov</label><ver>3.5</ver>";
        QTest::newRow("os") << "" << true << true << ""
                            << "<label>qelzov</label><ver>3.5</ver><os>%OS%</os>";
        QTest::newRow("more") << "" << false << false << ""
                              << "<label>qelzov</label><ver>3.5</ver><more>{#}nouse{#}</more>";
        QTest::newRow("own key, first 16") << "" << false << true << "0123456789abcdefXYZ"
                                           << "<label>qelzov</label><ver>3.5</ver>";
    }
    void RequestElements() {
        QFETCH(QString, module);
        QFETCH(bool, withOs);
        QFETCH(bool, noMore);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const LIB_CQelAuthAPI client(std::vector<std::string>{});
        const std::string body =
            client.BuildRequestBody("qelzov", "3.5", module.toStdString(), withOs, noMore, key.toStdString());
        const std::string usedKey = key.isEmpty() ? "kTr7mQpwZa" : key.left(16).toStdString();
        const std::string text = AesDecryptFromHex(LIB_CAES(usedKey), body.substr(2));
        const QString os = QString::fromStdString(LIB_CHardware().GetOsName());
        QVERIFY(!os.isEmpty());
        QCOMPARE(QString::fromStdString(text), QString(expected).replace("%OS%", os));
    }

    void AQueryGetsTheStampAppended() {
        HttpTestServer server;
        HttpPostStamped(server.base() + "/a.asp?x=1", "c=00");
        QVERIFY(QString::fromStdString(server.Requests().at(0).target).startsWith("/a.asp?x=1&hrand="));
    }

    void ServerLoopStopsAtAnEnvelopeOrAnError_data() {
        QTest::addColumn<int>("firstStatus");
        QTest::addColumn<QString>("firstBody");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("result");
        QTest::newRow("first answers") << 200 << "<qel><status>1</status></qel>" << 1 << "<status>1</status>";
        QTest::newRow("not found stops") << 404 << "" << 1 << "";
        QTest::newRow("no envelope goes on") << 200 << "hello" << 2 << "<status>0</status>";
    }
    void ServerLoopStopsAtAnEnvelopeOrAnError() {
        QFETCH(int, firstStatus);
        QFETCH(QString, firstBody);
        QFETCH(int, asked);
        QFETCH(QString, result);
        HttpTestServer first;
        HttpTestServer second;
        first.Script({{firstStatus, firstBody.toStdString()}});
        second.Script({{200, "<qel><status>0</status></qel>"}});
        LIB_CQelAuthAPI client({"ftp://nowhere", first.base(), second.base()});
        QCOMPARE(QString::fromStdString(client.GetNewVer("qelzov", "3.5", "", false, true)), result);
        QCOMPARE(int(first.Requests().size() + second.Requests().size()), asked);
    }

    void NotFoundIsReportedAsItsStatus() {
        HttpTestServer server;
        server.Script({{404, "missing"}});
        QCOMPARE(HttpPostStamped(server.base() + "/x", "c=00"), std::string("err:404"));
    }

    void RepliesLoseTheirBlanksAndAreDecipheredWhenNotPlain_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("inner");
        QTest::newRow("plain") << "junk<qel> <status>1</status> <upmsg>a b</upmsg></qel>junk"
                               << "<status>1</status><upmsg>ab</upmsg>";
        QTest::newRow("lines") << "<qel><status>1</status>\n<ads>x</ads></qel>"
                               << "<status>1</status>\r\n<ads>x</ads>";
        QTest::newRow("no envelope end") << "<qel><status>1</status>"
                                         << "";
        QTest::newRow("empty envelope") << "<qel>   </qel>"
                                        << "";
    }
    void RepliesLoseTheirBlanksAndAreDecipheredWhenNotPlain() {
        QFETCH(QString, body);
        QFETCH(QString, inner);
        HttpTestServer server;
        server.Script({{200, body.toStdString()}});
        LIB_CQelAuthAPI client({server.base()});
        QCOMPARE(QString::fromStdString(client.GetNewVer("qelzov", "3.5", "", false, true)), inner);
    }

    void AnEncipheredReplyIsDeciphered() {
        HttpTestServer server;
        const std::string hex =
            AesEncryptToHex(*CreateAesFromKey("kTr7mQpwZa"), "<status>1</status><newver>4.0</newver>");
        server.Script({{200, "<qel>" + hex.substr(0, 20) + " " + hex.substr(20) + "</qel>"}});
        LIB_CQelAuthAPI client({server.base()});
        QCOMPARE(client.GetNewVer("qelzov", "3.5", "", false, true),
                 std::string("<status>1</status><newver>4.0</newver>"));
    }

    void AStalledServerGivesAnErrorWithinTheTimeOut() {
        HttpTestServer stalled;
        HttpTestServer later;
        stalled.Script({{200, "<qel><status>1</status></qel>", 10s}});
        LIB_CQelAuthAPI client({stalled.base(), later.base()});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client.GetNewVer("qelzov", "3.5", "", false, true), std::string());
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(later.Requests().size(), std::size_t(0));
        QVERIFY(HttpPostStamped(stalled.base(), "c=00").starts_with("err:"));
    }

    void NoServersGiveAnEmptyReply() {
        zov::gui::test::TempProgramFolder folder;
        LIB_CQelAuthAPI client;
        QVERIFY(client.servers().empty());
        QCOMPARE(client.GetNewVer("qelzov", "3.5", "report", true, false), std::string());
    }

    void ModuleKeyIsAPrefixAndTodaysDate() {
        const QString key = QString::fromStdString(LIB_CQelAuthAPI::MakeModuleKey());
        QCOMPARE(key.size(), 11);
        const QDate today = QDate::currentDate();
        QCOMPARE(key.mid(3), today.toString("dd") + today.toString("yyyy") + today.toString("MM"));
    }
};

QTEST_MAIN(UpdateClientTest)
#include "UpdateClientTest.moc"
