#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <set>
#include <string>

#include "engine/backup/Backup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonTime.h"
#include "gui/restore/FileRestoreDialog.h"
#include "gui/restore/SetBrowser.h"
#include "gui/shell/PasswordDialogs.h"
#include "support/ChinaTimeClock.h"
#include "support/GuiTestSupport.h"
#include "support/PasswordAnswerer.h"
#include "support/RecordingJob.h"
#include "support/RecordingPrompter.h"
#include "support/Trees.h"

using zov::gui::CFRSetupDlg;
using zov::gui::Prompter;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::TempProgramFolder;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 60000;
constexpr const char* kPassword = "pa$$ 口令";
constexpr const char* kFirstStamp = "20240305140709";
constexpr const char* kSecondStamp = "20240305150709";

using Tree = std::set<std::string>;

void Write(const std::string& path, const std::string& content) { zov::gui::test::WriteFile(path, content); }

// Bytes that do not compress.
std::string Noise(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned state = 7;
    for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
}

// The first state of the source: one item, or the sub-folders of a per-sub-folder task.
void WriteFirstState(const std::string& source, bool perSubfolder, bool big) {
    const std::string root = perSubfolder ? source + "alpha/" : source;
    Write(root + "a.txt", "alpha");
    Write(root + "gone.txt", "gone");
    Write(root + "sub/deep/c.txt", "charlie");
    fs::create_directories(root + "empty");
    if (big) Write(root + "big.bin", Noise(1536 * 1024));
    if (perSubfolder) {
        Write(source + "beta/b.txt", "bravo");
        Write(source + "beta/deep/d.txt", "delta");
    }
}

// The second state: changed, added and deleted files; a per-sub-folder task gets a new sub-folder, whose
// first backup is a new base beside the other sub-folders' differential entries.
void WriteSecondState(const std::string& source, bool perSubfolder) {
    const std::string root = perSubfolder ? source + "alpha/" : source;
    Write(root + "a.txt", "alpha, changed");
    fs::remove(root + "gone.txt");
    fs::remove(root + "sub/deep/c.txt");
    Write(root + "sub/new.txt", "new");
    if (perSubfolder) {
        Write(source + "beta/b.txt", "bravo, changed");
        Write(source + "gamma/g.txt", "gamma");
    }
}

QTreeWidgetItem* FindItem(QTreeWidget& tree, const QString& text) {
    const auto found = tree.findItems(text, Qt::MatchStartsWith | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const QString& text) {
    for (int index = 0; parent != nullptr && index < parent->childCount(); ++index) {
        if (parent->child(index)->text(0) == text) return parent->child(index);
    }
    return nullptr;
}

QPoint CheckBoxPoint(QTreeWidget& tree, QTreeWidgetItem* item) {
    QStyleOptionViewItem option;
    option.initFrom(tree.viewport());
    option.rect = tree.visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text(0);
    return tree.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &tree).center();
}

void ClickCheckBox(QTreeWidget& tree, QTreeWidgetItem* item) {
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, CheckBoxPoint(tree, item));
}

// A click on the item's text.
void ClickItem(QTreeWidget& tree, QTreeWidgetItem* item) {
    const QRect row = tree.visualItemRect(item);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(row.right() - 8, row.center().y()));
}

QString TimeText(const char* stamp) { return QString::fromStdString(zov::ConvertTimeStamp(stamp, false)); }

// A program folder with a file task over "src/docs" stored in "bak", its two runs made by the engine at
// 14:07:09 and 15:07:09, and the dialog on the task.
class RestoreCase {
  public:
    RestoreCase(bool compressed, const std::string& password, int partial, bool diff, bool perSubfolder) {
        zov::IniFile(zov::TempIniPath()).Write("rar_path", "SYSTEM", rar_);
        task_.id = 12;
        task_.name = "文件";
        task_.flags = zov::kTaskFile | (compressed ? zov::kTaskCompress : 0);
        task_.diff = diff;
        task_.basePeriod = 7;
        task_.compress = perSubfolder;
        task_.password = password;
        task_.partial = partial;
        task_.source = folder_ / "src/docs";
        task_.dest = folder_ / "bak";
        WriteFirstState(source_, perSubfolder, partial > 0);
        firstState_ = RunBackup();
        time_.clock().Set(time_.clock().Now() + 3600);
        WriteSecondState(source_, perSubfolder);
        secondState_ = RunBackup();
    }

    // The source as it was when the run was made, and where a restore with the task's settings puts it.
    const Tree& State(int run) const { return run == 1 ? firstState_ : secondState_; }
    std::string Restored() const { return folder_ / (task_.compress ? "src/docs_New" : "src/docs_New/docs"); }

    CFRSetupDlg& Open(const zov::TaskInfo& task) {
        dialog_.SetTask(&task);
        dialog_.show();
        return dialog_;
    }
    CFRSetupDlg& Open() { return Open(task_); }
    QTreeWidget& tree() { return *dialog_.findChild<QTreeWidget*>("1424"); }
    QPushButton& Button(const char* id) { return *dialog_.findChild<QPushButton*>(id); }
    QLineEdit& Edit(const char* id) { return *dialog_.findChild<QLineEdit*>(id); }

    // Checks the run's point: the whole-folder task's point of that time, the per-sub-folder task's time.
    void CheckRun(int run) {
        const QString time = TimeText(run == 1 ? kFirstStamp : kSecondStamp);
        QTreeWidgetItem* item = FindItem(tree(), time);
        QVERIFY2(item != nullptr, qPrintable(time));
        if (task_.compress) {
            ClickCheckBox(tree(), item);
        } else {
            ClickItem(tree(), item);
        }
        QCOMPARE(item->checkState(0), Qt::Checked);
    }

    // Presses "还 原" and waits for the closing box.
    QString Restore() {
        const qsizetype before = prompter_.Texts().size();
        QTest::mouseClick(&Button("1426"), Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return prompter_.Texts().size() > before; }, kWaitMs)) return "<no box>";
        return prompter_.Texts().last();
    }

    // The restore records of the file log.
    int RestoreRecords() const {
        const std::string log = zov::gui::test::ReadFile(folder_ / "Log/Files/2024-03-05.log");
        int records = 0;
        for (std::size_t at = log.find("\t还原\t"); at != std::string::npos;
             at = log.find("\t还原\t", at + 1))
            ++records;
        return records;
    }

    TempProgramFolder folder_;
    RecordingPrompter prompter_;
    zov::test::ChinaTimeClock time_{2024, 3, 5, 14, 7, 9};
    const std::string rar_ = zov::gui::test::BuiltProgram("rar").toStdString();
    const std::string source_ = folder_ / "src/docs/";
    zov::TaskInfo task_;

  private:
    Tree RunBackup() {
        zov::CBackup backup;
        zov::test::RecordingJob job;
        std::string message;
        if (backup.RunFileTask(task_, rar_, message, job.Context()) == 0)
            qWarning("backup: %s", message.c_str());
        return zov::test::DescribeTree(source_);
    }

    Tree firstState_;
    Tree secondState_;
    CFRSetupDlg dialog_;
};

}  // namespace

class FileRestoreDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // Every layout the backups write, restored through the tree: the restored tree is the source of the
    // chosen run, with one record per restored item.
    void RestoresTheChosenRun_data() {
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("partial");
        QTest::addColumn<bool>("diff");
        QTest::addColumn<bool>("perSubfolder");
        QTest::addColumn<int>("run");
        QTest::addColumn<int>("records");
        QTest::newRow("copied, first run") << false << "" << 0 << false << false << 1 << 1;
        QTest::newRow("copied, second run") << false << "" << 0 << false << false << 2 << 1;
        QTest::newRow("compressed, second run") << true << "" << 0 << false << false << 2 << 1;
        QTest::newRow("password, first run") << true << kPassword << 0 << false << false << 1 << 1;
        QTest::newRow("volumes, second run") << true << "" << 1 << false << false << 2 << 1;
        QTest::newRow("differential copied, second run") << false << "" << 0 << true << false << 2 << 1;
        QTest::newRow("differential compressed, base") << true << "" << 0 << true << false << 1 << 1;
        QTest::newRow("differential compressed, second run") << true << "" << 0 << true << false << 2 << 1;
        QTest::newRow("differential password, second run")
            << true << kPassword << 0 << true << false << 2 << 1;
        QTest::newRow("differential volumes, second run") << true << "" << 1 << true << false << 2 << 1;
        QTest::newRow("per sub-folder, second run") << true << "" << 0 << false << true << 2 << 3;
        QTest::newRow("per sub-folder differential, first run") << true << "" << 0 << true << true << 1 << 2;
        QTest::newRow("per sub-folder differential, new base and entries")
            << true << "" << 0 << true << true << 2 << 3;
    }
    void RestoresTheChosenRun() {
        QFETCH(bool, compressed);
        QFETCH(QString, password);
        QFETCH(int, partial);
        QFETCH(bool, diff);
        QFETCH(bool, perSubfolder);
        QFETCH(int, run);
        QFETCH(int, records);
        RestoreCase restore(compressed, password.toStdString(), partial, diff, perSubfolder);
        restore.Open();
        restore.CheckRun(run);
        zov::gui::test::SaveScreenshot(
            restore.tree(), perSubfolder ? "file-restore-per-subfolder" : "file-restore-whole-folder");
        QCOMPARE(restore.Restore(), QString("还原成功"));
        QCOMPARE(zov::test::DescribeTree(restore.Restored()), restore.State(run));
        QCOMPARE(restore.RestoreRecords(), records);
        QVERIFY(restore.Button("1426").isEnabled());
    }

    // A whole-folder task lists each of its two runs once, by its time: the base of a differential task is
    // not listed a second time as the first entry of its differential set.
    void EachRunIsListedOnce_data() {
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<bool>("diff");
        QTest::newRow("copied") << false << false;
        QTest::newRow("compressed") << true << false;
        QTest::newRow("differential copied") << false << true;
        QTest::newRow("differential compressed") << true << true;
    }
    void EachRunIsListedOnce() {
        QFETCH(bool, compressed);
        QFETCH(bool, diff);
        RestoreCase restore(compressed, "", 0, diff, false);
        restore.Open();
        zov::gui::test::SaveScreenshot(restore.tree(), "file-restore-differential");
        QTreeWidgetItem* root = restore.tree().topLevelItem(0);
        QVERIFY(root != nullptr);
        QCOMPARE(root->text(0), QString("docs(2)"));
        QStringList labels;
        for (int index = 0; index < root->childCount(); ++index) labels.append(root->child(index)->text(0));
        QCOMPARE(labels, (QStringList{TimeText(kFirstStamp), TimeText(kSecondStamp)}));
    }

    // The source is gone: its points are still listed and restored.
    void ListsThePointsOfAGoneSource() {
        RestoreCase restore(true, "", 0, true, false);
        fs::remove_all(restore.source_);
        restore.Open();
        QCOMPARE(restore.tree().topLevelItem(0)->text(0), QString("docs(2)"));
        restore.CheckRun(2);
        QCOMPARE(restore.Restore(), QString("还原成功"));
        QCOMPARE(zov::test::DescribeTree(restore.Restored()), restore.State(2));
    }

    // A wrong task password, then a wrong and a right one typed into the prompt; meanwhile a second restore
    // cannot start.
    void AsksForThePasswordUntilItIsRight() {
        RestoreCase restore(true, kPassword, 0, true, false);
        zov::TaskInfo changed = restore.task_;
        changed.password = "changed since";
        int prompts = 0;
        bool restoreEnabled = true;
        zov::gui::test::PasswordAnswerer answerer([&](zov::gui::CInputPwdDlg& dialog) {
            restoreEnabled = restoreEnabled && restore.Button("1426").isEnabled();
            QTest::mouseClick(&restore.Button("1426"), Qt::LeftButton);
            zov::gui::test::TypeAndConfirm(dialog, ++prompts == 1 ? "still wrong" : kPassword);
        });
        restore.Open(changed);
        restore.CheckRun(2);
        QCOMPARE(restore.Restore(), QString("还原成功"));
        QCOMPARE(prompts, 3);  // the base twice, then the entry once
        QVERIFY(!restoreEnabled);
        QCOMPARE(restore.prompter_.Texts().size(), 1);
        QCOMPARE(zov::test::DescribeTree(restore.Restored()), restore.State(2));
    }

    // Only the checked sub-folders are restored; options saved for one go with its path, the others keep
    // the task's settings.
    void RestoresOnlyCheckedItemsWithTheirOwnOptions() {
        RestoreCase restore(true, "", 0, true, true);
        restore.Open();
        restore.CheckRun(2);
        QTreeWidget& tree = restore.tree();
        QTreeWidgetItem* second = FindItem(tree, TimeText(kSecondStamp));
        ClickCheckBox(tree, FindChild(second, "gamma"));
        QCOMPARE(FindChild(second, "gamma")->checkState(0), Qt::Unchecked);
        ClickItem(tree, FindChild(second, "beta"));
        QVERIFY(restore.Edit("1123").isEnabled());
        QVERIFY(restore.Edit("1124").text().endsWith("/diff/beta_20240305140709/20240305150709.rar"));
        QVERIFY(restore.Edit("1122").text().endsWith("/2024-03-05/beta_20240305140709.rar"));
        const std::string other = restore.folder_ / "other";
        restore.Edit("1123").setText(QString::fromStdString(other));
        QTest::mouseClick(&restore.Button("1427"), Qt::LeftButton);
        QCOMPARE(restore.Restore(), QString("还原成功"));
        QTRY_COMPARE_WITH_TIMEOUT(restore.prompter_.Texts(), QStringList({"还原成功", "还原成功"}), kWaitMs);
        const Tree restored = zov::test::DescribeTree(restore.Restored());
        QVERIFY(restored.contains("alpha/a.txt=alpha, changed"));
        QVERIFY(!restored.contains("beta/"));
        QVERIFY(!restored.contains("gamma/"));
        QVERIFY(zov::test::DescribeTree(other).contains("beta/b.txt=bravo, changed"));
    }

    // Items with options run one after the other; a failed one is reported even when a later one succeeds.
    void ABatchReportsEveryFailure() {
        RestoreCase restore(true, "", 0, true, true);
        const std::string damaged = restore.folder_ / "damaged.rar";
        Write(damaged, "no archive");
        restore.Open();
        restore.CheckRun(2);
        QTreeWidgetItem* second = FindItem(restore.tree(), TimeText(kSecondStamp));
        for (const char* name : {"alpha", "beta", "gamma"}) {
            ClickItem(restore.tree(), FindChild(second, name));
            if (QString(name) == "alpha") restore.Edit("1124").setText(QString::fromStdString(damaged));
            QTest::mouseClick(&restore.Button("1427"), Qt::LeftButton);
        }
        const QString box = restore.Restore();
        QVERIFY2(box.startsWith(QString::fromStdString("还原失败\n" + damaged + "：")), qPrintable(box));
        QCOMPARE(restore.prompter_.Texts().size(), 1);
        const Tree restored = zov::test::DescribeTree(restore.Restored());
        QVERIFY(restored.contains("beta/b.txt=bravo, changed"));
        QVERIFY(restored.contains("gamma/g.txt=gamma"));
    }

    // A target folder that holds anything is named in one question before the restores start: No leaves
    // it as it was and writes no record; an empty one is restored into without a question.
    void AFilledTargetIsAskedFirst_data() {
        QTest::addColumn<bool>("perSubfolder");
        QTest::addColumn<bool>("restoredBefore");
        QTest::addColumn<bool>("withOptions");
        QTest::addColumn<bool>("answerYes");
        QTest::newRow("empty folder") << false << false << false << false;
        QTest::newRow("restored before, no") << false << true << false << false;
        QTest::newRow("restored before, yes") << false << true << false << true;
        QTest::newRow("restored before, with options, no") << false << true << true << false;
        QTest::newRow("restored before, with options, yes") << false << true << true << true;
        QTest::newRow("per sub-folder, one with options, no") << true << true << true << false;
        QTest::newRow("per sub-folder, one with options, yes") << true << true << true << true;
    }
    void AFilledTargetIsAskedFirst() {
        QFETCH(bool, perSubfolder);
        QFETCH(bool, restoredBefore);
        QFETCH(bool, withOptions);
        QFETCH(bool, answerYes);
        RestoreCase restore(true, "", 0, false, perSubfolder);
        const std::string target = restore.folder_ / "src/docs_New";
        restore.Open();
        if (restoredBefore) {
            restore.CheckRun(1);
            QCOMPARE(restore.Restore(), QString("还原成功"));
        } else {
            fs::create_directories(target);
        }
        const Tree before = zov::test::DescribeTree(target);
        const int records = restore.RestoreRecords();
        restore.CheckRun(2);
        if (withOptions) {
            if (perSubfolder)
                ClickItem(restore.tree(),
                          FindChild(FindItem(restore.tree(), TimeText(kSecondStamp)), "beta"));
            restore.Edit("1123").setText(QString::fromStdString(target + "/"));
            QTest::mouseClick(&restore.Button("1427"), Qt::LeftButton);
        }
        restore.prompter_.Script({answerYes ? Prompter::Answer::Yes : Prompter::Answer::No});
        const QString box = restore.Restore();
        if (!restoredBefore) {
            QCOMPARE(box, QString("还原成功"));
            QCOMPARE(zov::test::DescribeTree(restore.Restored()), restore.State(2));
            return;
        }
        const QString question = QString::fromStdString(
            "目标文件夹" + target + "已存在且不为空，还原的文件将与其中的文件合并。是否继续还原？");
        QCOMPARE(box, question);
        const Prompter::Box asked = restore.prompter_.Boxes().last();
        QCOMPARE(asked.caption, QString("提示"));
        QCOMPARE(asked.buttons, Prompter::Buttons::YesNo);
        if (answerYes) {
            QStringList boxes{"还原成功", question, "还原成功"};
            if (perSubfolder) boxes << "还原成功";
            QTRY_COMPARE_WITH_TIMEOUT(restore.prompter_.Texts(), boxes, kWaitMs);
            const Tree restored = zov::test::DescribeTree(restore.Restored());
            for (const std::string& entry : restore.State(2))
                QVERIFY2(restored.contains(entry), entry.c_str());
            QVERIFY(restore.RestoreRecords() > records);
        } else {
            QTest::qWait(300);
            QCOMPARE(restore.prompter_.Texts(), QStringList({"还原成功", question}));
            QCOMPARE(zov::test::DescribeTree(target), before);
            QCOMPARE(restore.RestoreRecords(), records);
            QVERIFY(restore.Button("1426").isEnabled());
        }
    }

    // What keeps a restore from starting is said; the whole-folder tree holds one point at a time.
    void ARestoreThatCannotStartSaysWhy() {
        RestoreCase restore(true, "", 0, false, false);
        restore.Open();
        QCOMPARE(restore.Restore(), QString("未选择还原项，无法进行还原。"));
        restore.CheckRun(1);
        restore.CheckRun(2);
        QCOMPARE(FindItem(restore.tree(), TimeText(kFirstStamp))->checkState(0), Qt::Unchecked);
        Write(restore.folder_ / "src/docs_New", "a file");
        QCOMPARE(restore.Restore(), QString::fromStdString("还原失败\n还原时，目标" +
                                                           restore.folder_ / "src/docs_New" + "不是文件夹"));
    }

    // Closing during a restore asks first; Yes stops it at once, and its box never shows.
    void ClosingStopsARunningRestore() {
        RestoreCase restore(true, "", 0, false, false);
        const std::string slow = restore.folder_ / "slow-rar";
        Write(slow, "#!/bin/sh\nsleep 60\n");
        fs::permissions(slow, fs::perms::owner_all);
        zov::IniFile(zov::TempIniPath()).Write("rar_path", "SYSTEM", slow);
        CFRSetupDlg& dialog = restore.Open();
        restore.CheckRun(2);
        QTest::mouseClick(&restore.Button("1426"), Qt::LeftButton);
        QVERIFY(!restore.Button("1426").isEnabled());
        restore.prompter_.Script({Prompter::Answer::No, Prompter::Answer::Yes});
        dialog.close();
        QVERIFY(dialog.isVisible());
        QElapsedTimer timer;
        timer.start();
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QVERIFY(timer.elapsed() < 5000);
        QTest::qWait(300);
        const QString question = "您有还原任务正在进行，退出窗口将中断还原，是否中断？";
        QCOMPARE(restore.prompter_.Texts(), QStringList({question, question}));
    }

    // The set browsers take a folder or a rar archive; any other file is refused and the edit cleared.
    void BrowsingTakesFoldersAndArchivesOnly_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("box");
        QTest::newRow("folder") << "bak/2024-03-05/docs_20240305140709"
                                << "";
        QTest::newRow("archive") << "bak/2024-03-05/docs_20240305150709/a.RAR"
                                 << "";
        QTest::newRow("other file") << "bak/2024-03-05/docs_20240305140709/docs/a.txt"
                                    << "基准库如果为文件，则只能是rar压缩文件";
    }
    void BrowsingTakesFoldersAndArchivesOnly() {
        QFETCH(QString, chosen);
        QFETCH(QString, box);
        RestoreCase restore(false, "", 0, false, false);
        Write(restore.folder_ / "bak/2024-03-05/docs_20240305150709/a.RAR", "archive");
        const QString path = QString::fromStdString(restore.folder_ / chosen.toStdString());
        restore.Open();
        restore.CheckRun(1);
        QTimer::singleShot(100, [&] {
            auto* browser = qobject_cast<zov::gui::CSetBrowser*>(QApplication::activeModalWidget());
            QVERIFY(browser != nullptr);
            browser->Select(path);
            zov::gui::test::SaveScreenshot(*browser, "file-restore-browser");
            zov::gui::test::ButtonOf(*browser, "确定")->click();
        });
        QTest::mouseClick(&restore.Button("1095"), Qt::LeftButton);
        QCOMPARE(restore.Edit("1122").text(), box.isEmpty() ? path : QString());
        QCOMPARE(restore.prompter_.Texts(), box.isEmpty() ? QStringList() : QStringList{box});
    }

    void WithoutATaskTheDialogClosesAtOnce() {
        TempProgramFolder folder;
        CFRSetupDlg dialog;
        dialog.SetTask(nullptr);
        QTimer::singleShot(5000, &dialog, &QDialog::accept);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(FileRestoreDialogTest)
#include "FileRestoreDialogTest.moc"
