#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "engine/logs/QelLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/pages/BackupLogDlg.h"
#include "gui/pages/DetailLogDlg.h"
#include "gui/pages/FileLogView.h"
#include "gui/shell/NoticeListeners.h"
#include "platform/Clock.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

using namespace zov::gui;
using zov::IniFile;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::TempProgramFolder;

namespace {

constexpr std::time_t kHour = 3600;

std::string Time(std::time_t when) { return zov::FormatLocalTime(when, "%Y-%m-%d %H:%M:%S"); }

std::string DayFile(const TempProgramFolder& folder, std::time_t when) {
    return folder / ("Log/Files/" + zov::FormatLocalTime(when, "%Y-%m-%d") + ".log");
}

// A file log line started at when for the task name, its target /bak/<name>.
std::string Line(std::time_t when, const std::string& name, const std::string& category = "文件日志") {
    return category + "\t" + Time(when) + "\t3\t" + name + "\t普通\t/srv/" + name + "\t/bak/" + name +
           "\t1秒\t成功\t";
}

void Append(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::app | std::ios::binary) << text;
}

QStringList Names(const CBackupLogDlg& view) {
    QStringList names;
    for (int row = 0; row < view.rows().rowCount(); ++row) {
        names.append(QString::fromStdString(view.rows().Record(row).taskName));
    }
    return names;
}

// The detail dialog the view opens for a double click on the row, handed to inspect before it closes; false
// when none opened.
bool OpenDetail(CBackupLogDlg& view, int row, const std::function<void(CDetailLogDlg&)>& inspect) {
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto* detail = qobject_cast<CDetailLogDlg*>(QApplication::activeModalWidget());
        if (detail == nullptr) return;
        inspect(*detail);
        inspected = true;
        detail->accept();
    });
    QTableView& list = *view.list();
    const QRect where = list.visualRect(view.rows().index(row, 1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, where.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where.center());
    return inspected;
}

QString Field(QWidget& dialog, const char* id) {
    if (auto* edit = dialog.findChild<QLineEdit*>(id)) return edit->text();
    return dialog.findChild<QPlainTextEdit*>(id)->toPlainText();
}

// The texts of the dialog's labels and edits.
QStringList ShownTexts(QWidget& dialog) {
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) texts.append(label->text());
    for (const QLineEdit* edit : dialog.findChildren<QLineEdit*>()) texts.append(edit->text());
    return texts;
}

bool Red(QWidget& dialog, const char* id) {
    return dialog.findChild<QLineEdit*>(id)->palette().color(QPalette::Text) == QColor(255, 0, 0);
}

}  // namespace

class FileLogViewTest : public QObject {
    Q_OBJECT

  private slots:
    // The day files grow while the view reloads: every complete line of the days shown is listed once.
    void AGrowingDayFileShowsEachRecordOnce() {
        TempProgramFolder folder;
        RecordingPrompter prompter;
        const std::time_t now = zov::Now();
        const std::string today = DayFile(folder, now);
        Append(DayFile(folder, now - 24 * kHour), Line(now - 24 * kHour, "yesterday") + "\n");
        Append(DayFile(folder, now - 5 * 24 * kHour), Line(now - 5 * 24 * kHour, "old-file") + "\n");
        for (const char* other : {"system.log", "2024-3-1.log", "today.log.bak"}) {
            Append(folder / (std::string("Log/Files/") + other), Line(now, other) + "\n");
        }
        Append(today, Line(now - 50 * kHour, "too-old") + "\n" + Line(now, "first") + "\n" +
                          Line(now, "other-kind", "MSSQL日志") + "\n" + "文件日志\t" + Time(now) +
                          "\t3\tcut\t普通\t/a\t/b\t1秒\n" + "文件日志\t" + Time(now) +
                          "\t3\trelative\t普通\t/a\tbak/x\t1秒\t成功\t\n" + "文件日志\t" + Time(now) +
                          "\t3\tshort-op\tx\t/a\t/b\t1秒\t成功\t\n" + "文件日志\t" + Time(now) +
                          "\t-1\tnegative\t普通\t/a\t/b\t1秒\t成功\t\n" + "文件日志\t" + Time(now) +
                          "\t3\tnone\t普通\t---\t---\t1秒\t失败\t\n");
        const std::string half = Line(now, "half");
        Append(today, half.substr(0, 20));

        CBackupLogDlg view(FileLogViewConfig(), nullptr);
        view.Load();
        QCOMPARE(Names(view), (QStringList{"yesterday", "first", "none"}));
        view.Load();
        QCOMPARE(Names(view), (QStringList{"yesterday", "first", "none"}));
        Append(today, half.substr(20) + "\n" + Line(now, "second") + "\n" + Line(now, "third").substr(0, 7));
        view.Load();
        QCOMPARE(Names(view), (QStringList{"yesterday", "first", "none", "half", "second"}));
        Append(today, Line(now, "third").substr(7) + "\n");
        view.Load();
        view.Load();
        QCOMPARE(Names(view), (QStringList{"yesterday", "first", "none", "half", "second", "third"}));
        QCOMPARE(view.rows().data(view.rows().index(5, 0), Qt::DisplayRole).toString(), QString("6"));
        QCOMPARE(view.list()->currentIndex().row(), 5);

        view.Refresh();
        QTRY_COMPARE_WITH_TIMEOUT(view.rows().rowCount(), 6, 3000);
        QCOMPARE(Names(view), (QStringList{"yesterday", "first", "none", "half", "second", "third"}));
        QCOMPARE(prompter.Texts(), QStringList());
        SaveScreenshot(view, "file-log-view");
    }

    // A day file that became shorter or was replaced is listed afresh.
    void AReplacedDayFileIsListedAfresh() {
        TempProgramFolder folder;
        const std::time_t now = zov::Now();
        const std::string today = DayFile(folder, now);
        Append(today, Line(now, "a") + "\n" + Line(now, "b") + "\n");
        CBackupLogDlg view(FileLogViewConfig(), nullptr);
        view.Load();
        std::filesystem::remove(today);
        Append(today, Line(now, "c") + "\n");
        view.Load();
        QCOMPARE(Names(view), QStringList{"c"});
    }

    // A pipe or a folder under a day file's name is passed over: no read waits on a writer that never comes.
    void APipeOrFolderNamedAsADayIsPassedOver() {
        TempProgramFolder folder;
        IniFile(zov::ConfigIniPath()).Write("Show", "LOG", "4");
        const std::time_t now = zov::Now();
        Append(DayFile(folder, now), Line(now, "today") + "\n");
        QCOMPARE(mkfifo(DayFile(folder, now - 48 * kHour).c_str(), 0600), 0);
        std::filesystem::create_directories(DayFile(folder, now - 72 * kHour));
        CBackupLogDlg view(FileLogViewConfig(), nullptr);
        view.Load();
        QCOMPARE(Names(view), QStringList{"today"});
    }

    // With auto-refresh ticked, a line written by the engine's log writer reaches the view through the
    // update notice; unticked, nothing changes.
    void ANoticeOfTheLogWriterRefreshesTheView() {
        TempProgramFolder folder;
        UpdateLogListener listener;
        QVERIFY(listener.Start());
        QTRY_VERIFY(listener.IsListening());
        CBackupLogDlg view(FileLogViewConfig(), nullptr);
        connect(&listener, &UpdateLogListener::logChanged, &view, &CBackupLogDlg::OnLogChanged);
        QTest::qWait(CBackupLogDlg::kFirstLoadMs + 200);
        const auto write = [](const std::string& name) {
            zov::CQelLog record;
            record.SetCategory(zov::kLogFiles);
            record.Start();
            record.SetTaskId(1);
            record.SetTaskName(name);
            record.SetType(5);
            record.SetItem("/srv/data");
            record.SetTarget("/bak/data");
            record.SetResult(zov::kLogSucceeded);
            QVERIFY(record.Write());
        };
        write("unticked");
        QTest::qWait(1500);
        QCOMPARE(view.rows().rowCount(), 0);
        view.findChild<QCheckBox*>("1383")->setChecked(true);
        write("ticked");
        QTRY_COMPARE_WITH_TIMEOUT(Names(view), (QStringList{"unticked", "ticked"}), 5000);
        view.OnLogChanged(kSqlServerLogCategory);
        QCOMPARE(view.rows().rowCount(), 2);
    }

    void TheDaySettingsAreCheckedAndSaved_data() {
        QTest::addColumn<QString>("show");
        QTest::addColumn<QString>("keep");
        QTest::addColumn<std::string>("savedShow");
        QTest::addColumn<bool>("refused");
        QTest::newRow("in range") << "5"
                                  << "9" << std::string("5") << false;
        QTest::newRow("zero") << "0"
                              << "9" << std::string("0") << true;
        QTest::newRow("above 100") << "7"
                                   << "101" << std::string("0") << true;
        QTest::newRow("no number") << "x"
                                   << "9" << std::string("0") << true;
    }
    void TheDaySettingsAreCheckedAndSaved() {
        QFETCH(QString, show);
        QFETCH(QString, keep);
        QFETCH(std::string, savedShow);
        QFETCH(bool, refused);
        TempProgramFolder folder;
        RecordingPrompter prompter;
        const IniFile config(zov::ConfigIniPath());
        config.Write("Show", "LOG", "0");
        CBackupLogDlg view(FileLogViewConfig(), nullptr);
        QCOMPARE(view.findChild<QLineEdit*>("1170")->text(), QString("2"));
        QCOMPARE(view.findChild<QLineEdit*>("1172")->text(), QString("2"));
        view.findChild<QLineEdit*>("1170")->setText(show);
        view.findChild<QLineEdit*>("1172")->setText(keep);
        QTest::mouseClick(view.findChild<QPushButton*>("1095"), Qt::LeftButton);
        QCOMPARE(prompter.Texts(),
                 refused ? QStringList{"请输入一个在 1 和 100 之间的整数。"} : QStringList());
        QCOMPARE(config.Read("Show", "LOG"), savedShow);
        QCOMPARE(config.Read("Save", "LOG"), refused ? std::string() : keep.toStdString());
    }

    // Two records of the same second, and empty columns: the detail shows the row's own record.
    void TheDetailShowsTheRowsOwnRecord() {
        TempProgramFolder folder;
        const std::time_t now = zov::Now();
        std::filesystem::create_directories(folder / "bak/second");
        Append(DayFile(folder, now), Line(now, "first") + "\n" + "文件日志\t" + Time(now) +
                                         "\t4\t\t普通\t---\t" + (folder / "bak/second") +
                                         "\t1时2分5秒\t失败\t\n");
        CBackupLogDlg view(FileLogViewConfig(), nullptr);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Load();
        QCOMPARE(view.rows().data(view.rows().index(1, 2), Qt::DisplayRole).toString(), QString("-"));
        QVERIFY(OpenDetail(view, 1, [&](CDetailLogDlg& detail) {
            QCOMPARE(detail.windowTitle(), QString("日志详情"));
            QCOMPARE(Field(detail, "1122"), QString());
            QCOMPARE(Field(detail, "1361"), QString("文件"));
            QCOMPARE(Field(detail, "1365"), QString::fromStdString(folder / "bak/second"));
            QCOMPARE(Field(detail, "1366"), QString("失败"));
            QCOMPARE(Field(detail, "1363"), QString("1时2分5秒"));
            QCOMPARE(ShownTexts(detail).join("").count("秒"), 1);
            QCOMPARE(Field(detail, "1367"), QString());
            QVERIFY(Red(detail, "1366"));
            QVERIFY(!Red(detail, "1365"));
            QVERIFY(detail.findChild<QPushButton*>("1167")->isEnabled());
            SaveScreenshot(detail, "file-log-detail");
        }));
        QVERIFY(OpenDetail(view, 0, [&](CDetailLogDlg& detail) {
            QCOMPARE(Field(detail, "1122"), QString("first"));
            QCOMPARE(Field(detail, "1365"), QString("/bak/first"));
            QVERIFY(Red(detail, "1365"));
            QVERIFY(!detail.findChild<QPushButton*>("1167")->isEnabled());
        }));
    }

    void ADifferentialRunWithoutOutputSaysWhy_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no message") << "" << QString(CDetailLogDlg::kNoDiffNote);
        QTest::newRow("a message") << "无变化"
                                   << "无变化\n" + QString(CDetailLogDlg::kNoDiffNote);
    }
    void ADifferentialRunWithoutOutputSaysWhy() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        TempProgramFolder folder;
        zov::LogRecord record;
        record.taskName = "docs";
        record.operation = "差异";
        record.result = "成功";
        record.target = folder / "bak/none.rar";
        record.message = message.toStdString();
        record.hasMessage = true;
        CDetailLogDlg detail(record, zov::kLogFiles, nullptr);
        QCOMPARE(Field(detail, "1367"), shown);
        QVERIFY(!detail.findChild<QPushButton*>("1167")->isEnabled());
    }
};

QTEST_MAIN(FileLogViewTest)
#include "FileLogViewTest.moc"
