#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "engine/logs/StateLog.h"
#include "gui/shell/NoticeListeners.h"
#include "gui/shell/NoticeSlot.h"
#include "platform/Mailslot.h"
#include "support/GuiTestSupport.h"

using zov::gui::StateLogListener;
using zov::gui::UpdateLogListener;
using zov::gui::test::TempProgramFolder;

namespace {

constexpr int kWaitMs = 5000;

template <typename Listener>
bool StartAndBind(Listener& listener) {
    if (!listener.Start()) return false;
    QElapsedTimer timer;
    timer.start();
    while (!listener.IsListening() && timer.elapsed() < kWaitMs) QTest::qWait(10);
    return listener.IsListening();
}

std::string Notice(int value) { return "<cmd>" + std::to_string(value) + "</cmd>" + '\0'; }

}  // namespace

class NoticeListenersTest : public QObject {
    Q_OBJECT

  private slots:
    void StatusLinesOfTheEngineWriterArrive() {
        TempProgramFolder folder;
        StateLogListener listener;
        QSignalSpy lines(&listener, &StateLogListener::stateMessage);
        QVERIFY(StartAndBind(listener));

        zov::StateLogSink sink(folder.path());
        sink.Status("正在压缩 /srv/data");
        sink.EndStatus();
        QTRY_COMPARE_WITH_TIMEOUT(lines.count(), 2, kWaitMs);
        QCOMPARE(lines[0][0].toString(), QString("正在压缩 /srv/data"));
        QCOMPARE(lines[1][0].toString(), QString(""));
    }

    // A message is read up to its zero byte and never beyond the bytes received.
    void NoticeTextEndsAtTheZeroByteOrTheLimit_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("terminated") << QByteArray("abc\0", 4) << QByteArray("abc");
        QTest::newRow("garbage after zero") << QByteArray("abc\0xyz", 7) << QByteArray("abc");
        QTest::newRow("unterminated") << QByteArray("abc") << QByteArray("abc");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("longer than a notice") << QByteArray(600, 'a') << QByteArray(399, 'a');
    }
    void NoticeTextEndsAtTheZeroByteOrTheLimit() {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, text);
        QCOMPARE(QByteArray::fromStdString(zov::gui::NoticeText(message.toStdString())), text);
    }

    // Every notice counts, whatever its marker bits; a batch names each category once.
    void CategoriesOfABatch_data() {
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QList<int>>("categories");
        QTest::newRow("marker F00 of the first notice") << QList<int>{0xF00 | 100} << QList<int>{100};
        QTest::newRow("equal markers in a row") << QList<int>{0xE00 | 101, 0xE00 | 101} << QList<int>{101};
        QTest::newRow("burst of three views")
            << QList<int>{0xE00 | 102, 0xF00 | 100, 0xE00 | 102, 0xF00 | 101} << QList<int>{102, 100, 101};
        QTest::newRow("interface log and zero") << QList<int>{0xE00 | 103, 0} << QList<int>{};
    }
    void CategoriesOfABatch() {
        QFETCH(QList<int>, values);
        QFETCH(QList<int>, categories);
        std::vector<std::string> notices;
        for (int value : values) notices.push_back(zov::gui::NoticeText(Notice(value)));
        const std::vector<int> got = zov::gui::ChangedLogCategories(notices);
        QCOMPARE(QList<int>(got.begin(), got.end()), categories);
    }

    void NoticesWithoutTagsAreIgnored() {
        QCOMPARE(zov::gui::ChangedLogCategories({"100", "<cmd>100", "</cmd>100<cmd>", "<cmd>x</cmd>"}).size(),
                 std::size_t{0});
    }

    // The engine's writer alternates the marker bits; equal bits in a row are acted on all the same.
    void EveryUpdateNoticeOfTheWriterReloadsItsView() {
        TempProgramFolder folder;
        UpdateLogListener listener;
        QSignalSpy changes(&listener, &UpdateLogListener::logChanged);
        QVERIFY(StartAndBind(listener));
        const int notices[] = {0xF00 | 100, 0xF00 | 100, 0xE00 | 101, 0xE00 | 103, 0xE00 | 102};
        const int expected[] = {100, 100, 101, 102};
        int seen = 0;
        for (int notice : notices) {
            QVERIFY(zov::WriteUpdateLog(notice));
            if (notice == (0xE00 | 103)) continue;
            ++seen;
            QTRY_COMPARE_WITH_TIMEOUT(changes.count(), seen, kWaitMs);
        }
        QTest::qWait(100);
        QCOMPARE(changes.count(), 4);
        for (int i = 0; i < 4; ++i) QCOMPARE(changes[i][0].toInt(), expected[i]);
    }

    // The status listener holds each line a second: a writer meanwhile never waits, its extra lines drop.
    void AStalledReaderNeverBlocksTheWriter() {
        TempProgramFolder folder;
        StateLogListener listener;
        QVERIFY(StartAndBind(listener));
        zov::StateLogSink sink(folder.path());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 20000; ++i)
            sink.Status("第 " + std::to_string(i) + " 行 " + std::string(300, 'x'));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }

    void StopEndsTheThreadAndFreesTheSlot() {
        TempProgramFolder folder;
        StateLogListener listener;
        QVERIFY(StartAndBind(listener));
        zov::StateLogSink(folder.path()).Status("一行");  // the listener now holds it for a second
        QTest::qWait(50);
        QElapsedTimer timer;
        timer.start();
        listener.Stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!listener.IsListening());
        QVERIFY(!zov::MailslotWrite(folder.path(), "StateLog", "x"));
    }

    // A second listener of the same folder waits for the slot and takes it once the first one ends.
    void ASecondListenerTakesTheSlotWhenTheFirstEnds() {
        TempProgramFolder folder;
        UpdateLogListener first;
        QVERIFY(StartAndBind(first));
        UpdateLogListener second;
        QSignalSpy changes(&second, &UpdateLogListener::logChanged);
        QVERIFY(second.Start());
        QTest::qWait(300);
        QVERIFY(!second.IsListening());
        first.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(second.IsListening(), kWaitMs);
        QVERIFY(zov::WriteUpdateLog(0xE00 | 100));
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, kWaitMs);
    }

    // Destroying a listener whose notices are still queued to the window thread drops them safely.
    void DestroyedListenerDropsQueuedNotices() {
        TempProgramFolder folder;
        auto* listener = new UpdateLogListener;
        QVERIFY(StartAndBind(*listener));
        for (int i = 0; i < 50; ++i) zov::WriteUpdateLog(0xE00 | (100 + i % 3));
        QTest::qWait(50);
        delete listener;
        QTest::qWait(50);
    }
};

QTEST_MAIN(NoticeListenersTest)
#include "NoticeListenersTest.moc"
