#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <functional>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/pages/FileBackupSetupBaseDlg.h"
#include "gui/pages/FileBackupSetupDlg.h"
#include "gui/pages/FileBackupSetupExtDlg.h"
#include "gui/pages/FilterHintDlg.h"
#include "gui/shell/TaskStore.h"
#include "pages/FileSizeLimit.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingJob.h"
#include "support/RecordingPrompter.h"
#include "support/TaskStoreFiles.h"

using namespace zov::gui;
using zov::DaySet;
using zov::TaskInfo;
using zov::gui::test::BuiltProgram;
using zov::gui::test::FileSizeLimit;
using zov::gui::test::ReadFile;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::StoredTasks;
using zov::gui::test::StoreRecords;
using zov::gui::test::TaskRecord;
using zov::gui::test::TempProgramFolder;
using Answer = zov::gui::Prompter::Answer;

namespace {

using Fixture = zov::gui::test::FilePageFolder;

template <typename T>
T* Control(QWidget& page, const char* id) {
    T* control = page.findChild<T*>(id);
    if (control == nullptr) qFatal("no control %s", id);
    return control;
}

DaySet Days(std::initializer_list<int> days) {
    DaySet set;
    for (int day : days) set.set(static_cast<std::size_t>(day - 1));
    return set;
}

void ClickOk(CFileBackupSetupDlg& editor) {
    QTest::mouseClick(Control<QPushButton>(editor, "1081"), Qt::LeftButton);
}

// The editor opened for a new task with a name and folders of the fixture's folder.
struct NewTaskEditor {
    CFileBackupSetupDlg editor{nullptr};
    QWidget& base;
    QWidget& ext;
    explicit NewTaskEditor(const Fixture& f) : base(*editor.basePage()), ext(*editor.extPage()) {
        editor.SetOperation(CFileBackupSetupDlg::kNew, 0);
        editor.Prepare();
        Control<QLineEdit>(base, "1054")->setText("docs");
        Control<QLineEdit>(base, "1055")->setText(QString::fromStdString(f.folder / "src"));
        Control<QLineEdit>(base, "1060")->setText(QString::fromStdString(f.folder / "store"));
        std::filesystem::create_directories(f.folder / "store");
    }
    void Click(const char* id) {
        QTest::mouseClick(Control<QAbstractButton>(*editor.findChild<QWidget*>(id)->parentWidget(), id),
                          Qt::LeftButton);
    }
};

}  // namespace

class FileTaskEditorTest : public QObject {
    Q_OBJECT

  private slots:
    // Every field of a stored file task comes back unchanged after it was opened and saved.
    void ATaskSavedUnchangedReadsBackTheSame_data() {
        QTest::addColumn<std::function<void(TaskInfo&)>>("change");
        using zov::kTaskCompress;
        using zov::kTaskFilter;
        using zov::kTaskFilterInclude;
        using zov::kTaskKeepDays;
        using zov::kTaskScheduled;
        QTest::newRow("copied daily, kept 30 days") << std::function<void(TaskInfo&)>([](TaskInfo&) {});
        QTest::newRow("compressed with a password, weekly")
            << std::function<void(TaskInfo&)>([](TaskInfo& t) {
                   t.flags |= kTaskCompress;
                   t.password = "p a'ss\"word";
                   t.period = zov::kWeekly;
                   t.days = Days({1, 3, 7});
                   t.times = "08:00 20:30";
               });
        QTest::newRow("per sub-folder, monthly with the 31st, kept for ever")
            << std::function<void(TaskInfo&)>([](TaskInfo& t) {
                   t.flags = (t.flags | kTaskCompress) & ~kTaskKeepDays;
                   t.compress = true;
                   t.keepDays = 0;
                   t.period = zov::kMonthly;
                   t.days = Days({1, 15, 31});
               });
        QTest::newRow("differential, include filter, volumes")
            << std::function<void(TaskInfo&)>([](TaskInfo& t) {
                   t.flags |= kTaskCompress | kTaskFilter | kTaskFilterInclude;
                   t.diff = true;
                   t.basePeriod = 7;
                   t.filter.exclude = false;
                   t.filter.Add("*.doc");
                   t.filter.Add("*/tmp/*");
                   t.partial = 100;
                   t.delBad = false;
               });
        QTest::newRow("exclude filter, runs off on the 31st")
            << std::function<void(TaskInfo&)>([](TaskInfo& t) {
                   t.flags = (t.flags | kTaskFilter) & ~kTaskScheduled;
                   t.filter.Add("*.tmp");
                   t.period = zov::kMonthly;
                   t.days = Days({31});
                   t.times = "23:59";
               });
    }
    void ATaskSavedUnchangedReadsBackTheSame() {
        QFETCH(std::function<void(TaskInfo&)>, change);
        Fixture f;
        TaskInfo task = f.Task(4, "docs");
        change(task);
        if (!task.diff) task.basePeriod = 1;
        std::filesystem::create_directories(task.dest);
        QVERIFY(StoreRecords({TaskRecord(task)}));
        const std::vector<TaskInfo> before = StoredTasks();
        CFileBackupSetupDlg editor(nullptr);
        editor.SetOperation(CFileBackupSetupDlg::kModify, 4);
        QVERIFY(editor.Prepare());
        QCOMPARE(editor.windowTitle(), QString("修改任务(docs)"));
        SaveScreenshot(editor, QString("file-editor-") + QTest::currentDataTag());
        ClickOk(editor);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QCOMPARE(f.prompter.Texts(), QStringList{"任务修改成功"});
        const std::vector<TaskInfo> after = StoredTasks();
        QCOMPARE(after.size(), std::size_t(1));
        QVERIFY2(after == before, TaskRecord(after.front()).c_str());
    }

    void TypedFieldsAreStoredByTheRules_data() {
        QTest::addColumn<std::function<void(NewTaskEditor&)>>("type");
        QTest::addColumn<std::function<bool(const TaskInfo&)>>("expected");
        using Type = std::function<void(NewTaskEditor&)>;
        using Check = std::function<bool(const TaskInfo&)>;
        QTest::newRow("times cleaned")
            << Type([](NewTaskEditor& e) { Control<QLineEdit>(e.base, "1079")->setText("8:35,12:00,12:00"); })
            << Check([](const TaskInfo& t) { return t.times == "08:35 12:00" && t.days.all(); });
        QTest::newRow("no time") << Type([](NewTaskEditor& e) {
            Control<QLineEdit>(e.base, "1079")->setText("");
        }) << Check([](const TaskInfo& t) { return t.times == "01:00"; });
        QTest::newRow("several times") << Type([](NewTaskEditor& e) {
            Control<QLineEdit>(e.base, "1079")->setText(" 20:00, 07:30,20:00");
        }) << Check([](const TaskInfo& t) { return t.times == "20:00 07:30"; });
        QTest::newRow("weekly 1,3,9") << Type([](NewTaskEditor& e) {
            Control<QComboBox>(e.base, "1136")->setCurrentIndex(1);
            Control<QLineEdit>(e.base, "1078")->setText("1,3,9");
        }) << Check([](const TaskInfo& t) {
            return t.period == zov::kWeekly && t.days == Days({1, 3});
        });
        QTest::newRow("monthly 31,0,15") << Type([](NewTaskEditor& e) {
            Control<QComboBox>(e.base, "1136")->setCurrentIndex(2);
            Control<QLineEdit>(e.base, "1078")->setText("31,0,15");
        }) << Check([](const TaskInfo& t) {
            return t.period == zov::kMonthly && t.days == Days({15, 31});
        });
        QTest::newRow("kept for ever")
            << Type([](NewTaskEditor& e) { Control<QLineEdit>(e.base, "1130")->setText("0"); })
            << Check([](const TaskInfo& t) { return !t.HasFlag(zov::kTaskKeepDays) && t.keepDays == 0; });
        QTest::newRow("differential with period 0") << Type([](NewTaskEditor& e) {
            e.Click("1133");
            Control<QLineEdit>(e.ext, "1122")->setText("0");
        }) << Check([](const TaskInfo& t) { return t.diff && t.basePeriod == 1; });
        QTest::newRow("differential off")
            << Type([](NewTaskEditor&) {}) << Check([](const TaskInfo& t) { return !t.diff; });
        QTest::newRow("volumes of 0 MB") << Type([](NewTaskEditor& e) {
            e.Click("1119");
            Control<QCheckBox>(e.ext, "1425")->setChecked(true);
            Control<QLineEdit>(e.ext, "1430")->setText("0");
        }) << Check([](const TaskInfo& t) {
            return t.HasFlag(zov::kTaskCompress) && t.partial == 0 && !t.compress;
        });
        QTest::newRow("volumes of 700 MB per sub-folder") << Type([](NewTaskEditor& e) {
            e.Click("1120");
            Control<QLineEdit>(e.base, "1122")->setText("geheim");
            Control<QCheckBox>(e.ext, "1425")->setChecked(true);
            Control<QLineEdit>(e.ext, "1430")->setText("700");
        }) << Check([](const TaskInfo& t) {
            return t.compress && t.partial == 700 && t.password == "geheim";
        });
        QTest::newRow("include filter") << Type([](NewTaskEditor& e) {
            e.Click("1126");
            Control<QPlainTextEdit>(e.ext, "1127")->setPlainText("*.DOC\n*.xls|*.ppt");
        }) << Check([](const TaskInfo& t) {
            return t.HasFlag(zov::kTaskFilter) && t.HasFlag(zov::kTaskFilterInclude) && !t.filter.exclude &&
                   t.filter.extensions == std::vector<std::string>{"*.doc", "*.xls", "*.ppt"};
        });
        QTest::newRow("exclude filter") << Type([](NewTaskEditor& e) {
            e.Click("1125");
            Control<QPlainTextEdit>(e.ext, "1127")->setPlainText("*.tmp");
        }) << Check([](const TaskInfo& t) {
            return t.HasFlag(zov::kTaskFilter) && !t.HasFlag(zov::kTaskFilterInclude) && t.filter.exclude;
        });
        QTest::newRow("malformed files kept")
            << Type([](NewTaskEditor& e) { Control<QCheckBox>(e.base, "1422")->setChecked(false); })
            << Check([](const TaskInfo& t) { return !t.delBad; });
    }
    void TypedFieldsAreStoredByTheRules() {
        QFETCH(std::function<void(NewTaskEditor&)>, type);
        QFETCH(std::function<bool(const TaskInfo&)>, expected);
        Fixture f;
        QVERIFY(StoreRecords({}));
        NewTaskEditor e(f);
        QCOMPARE(e.editor.windowTitle(), QString("新建文件备份"));
        type(e);
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts(), QStringList{"任务添加成功"});
        const std::vector<TaskInfo> stored = StoredTasks();
        QCOMPARE(stored.size(), std::size_t(1));
        QVERIFY2(expected(stored.front()), TaskRecord(stored.front()).c_str());
        QCOMPARE(stored.front().name, std::string("docs"));
        QVERIFY(stored.front().HasFlag(zov::kTaskScheduled));
    }

    // A typed time that is no time of day, or an emptied name, is named and nothing is saved, in a new task
    // and a stored one.
    void AFieldTheEditorRefusesSavesNothing_data() {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("new, time out of range") << false << "1079"
                                                << "25:99"
                                                << "备份时间“25:99”无效";
        QTest::newRow("new, times among good ones") << false << "1079"
                                                    << "12:00,24:00,7:60"
                                                    << "备份时间“24:00”“7:60”无效";
        QTest::newRow("stored, hour 0 alone") << true << "1079"
                                              << "08:00,0"
                                              << "备份时间“0”无效";
        QTest::newRow("stored, seconds") << true << "1079"
                                         << "12:00:00"
                                         << "备份时间“12:00:00”无效";
        QTest::newRow("new, empty name") << false << "1054"
                                         << ""
                                         << "任务名为空或者不合法";
        QTest::newRow("stored, emptied name") << true << "1054"
                                              << ""
                                              << "任务名为空或者不合法";
    }
    void AFieldTheEditorRefusesSavesNothing() {
        QFETCH(bool, stored);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, message);
        Fixture f;
        std::filesystem::create_directories(f.folder / "bak/old");
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "old"))}));
        const std::string before = ReadFile(zov::TaskDbPath());
        NewTaskEditor e(f);
        if (stored) {
            e.editor.SetOperation(CFileBackupSetupDlg::kModify, 1);
            QVERIFY(e.editor.Prepare());
        }
        Control<QLineEdit>(e.base, qPrintable(control))->setText(text);
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts(), QStringList{message});
        QCOMPARE(f.prompter.Boxes().front().caption, QString("错误"));
        QCOMPARE(e.editor.result(), int(QDialog::Rejected));
        QCOMPARE(ReadFile(zov::TaskDbPath()), before);
        QCOMPARE(StoredTasks().front().name, std::string("old"));
    }

    // A missing storage folder that the user has made is made only for a task that is saved.
    void ARefusedTaskMakesNoStorageFolder_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("storage");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QStringList>("texts");
        const QString asked = "存储目录不存在，是否立即创建？";
        QTest::newRow("the name of another task") << "old"
                                                  << "bak/new" << QList<Answer>{Answer::Yes}
                                                  << QStringList{asked, "错误的任务: 任务名重复，请重新设置"};
        QTest::newRow("inside another task's storage, not gone on")
            << "docs"
            << "bak/old/new" << QList<Answer>{Answer::Yes, Answer::No}
            << QStringList{
                   asked,
                   "任务设置发生冲突: "
                   "当前路径和其他任务存储路径存在上下级关系，这样可能会影响备份和还原功能。\n\n请问需要继续"
                   "操作吗？"};
        QTest::newRow("an empty name")
            << ""
            << "bak/new" << QList<Answer>{Answer::Yes} << QStringList{"任务名为空或者不合法"};
    }
    void ARefusedTaskMakesNoStorageFolder() {
        QFETCH(QString, name);
        QFETCH(QString, storage);
        QFETCH(QList<Answer>, answers);
        QFETCH(QStringList, texts);
        Fixture f;
        std::filesystem::create_directories(f.folder / "bak/old");
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "old"))}));
        NewTaskEditor e(f);
        const std::string folder = f.folder / storage.toStdString();
        Control<QLineEdit>(e.base, "1054")->setText(name);
        Control<QLineEdit>(e.base, "1060")->setText(QString::fromStdString(folder));
        f.prompter.Script(answers);
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts(), texts);
        QCOMPARE(e.editor.result(), int(QDialog::Rejected));
        QVERIFY(!std::filesystem::exists(folder));
        QCOMPARE(StoredTasks().size(), std::size_t(1));
    }

    void RefusedCharactersKeepTheDialogOpen_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("name with a bar") << "1054"
                                         << "a|b"
                                         << "任务名不能含有 <、>、| 或控制字符，请重新设置";
        QTest::newRow("name with a tab") << "1054"
                                         << "a\tb"
                                         << "任务名不能含有 <、>、| 或控制字符，请重新设置";
        QTest::newRow("source with <") << "1055"
                                       << "/tmp/<x"
                                       << "源目录不能含有 <、>、| 或控制字符，请重新设置";
        QTest::newRow("relative source") << "1055"
                                         << "src"
                                         << "源目录必须是以 / 开头的绝对路径，请重新设置";
        QTest::newRow("storage with >") << "1060"
                                        << "/tmp/a>b"
                                        << "备份存储目录不合法，请重新设置";
        QTest::newRow("relative storage") << "1060"
                                          << "bak"
                                          << "备份存储目录不合法，请重新设置";
        QTest::newRow("password with a control character")
            << "1122" << QString("pa") + QChar(0x1B) + "ss"
            << "压缩密码不能含有 <、>、| 或控制字符，请重新设置";
    }
    void RefusedCharactersKeepTheDialogOpen() {
        QFETCH(QString, id);
        QFETCH(QString, text);
        QFETCH(QString, message);
        Fixture f;
        QVERIFY(StoreRecords({}));
        const std::string before = ReadFile(zov::TaskDbPath());
        NewTaskEditor e(f);
        e.Click("1119");
        Control<QLineEdit>(e.base, qPrintable(id))->setText(text);
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts(), QStringList{"错误的任务: " + message});
        QCOMPARE(f.prompter.Boxes().front().caption, QString("错误"));
        QCOMPARE(e.editor.result(), int(QDialog::Rejected));
        QCOMPARE(ReadFile(zov::TaskDbPath()), before);
        QVERIFY(!std::filesystem::exists(f.folder / "tmp"));
    }

    void AMissingStorageFolderIsOfferedToBeMade_data() {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("made") << Answer::Yes;
        QTest::newRow("left") << Answer::No;
    }
    void AMissingStorageFolderIsOfferedToBeMade() {
        QFETCH(Answer, answer);
        Fixture f;
        QVERIFY(StoreRecords({}));
        NewTaskEditor e(f);
        const std::string storage = f.folder / "new/bak";
        Control<QLineEdit>(e.base, "1060")->setText(QString::fromStdString(storage));
        f.prompter.Script({answer});
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts(), (QStringList{"存储目录不存在，是否立即创建？", "任务添加成功"}));
        QCOMPARE(f.prompter.Boxes().front().caption, QString("Velmorand"));
        QCOMPARE(std::filesystem::is_directory(storage), answer == Answer::Yes);
        if (answer == Answer::Yes) {
            struct stat info {};
            QCOMPARE(stat(storage.c_str(), &info), 0);
            QCOMPARE(info.st_mode & 0777, mode_t(0700));
        }
        QCOMPARE(StoredTasks().size(), std::size_t(1));
    }

    void TheStoreChecksBeforeTheSave_data() {
        QTest::addColumn<std::string>("storage");
        QTest::addColumn<std::string>("name");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("saved");
        const QString nested =
            "任务设置发生冲突: "
            "当前路径和其他任务存储路径存在上下级关系，这样可能会影响备份和还原功能。\n\n请问需要继续操作吗"
            "？";
        QTest::newRow("nested storage, go on")
            << std::string("bak/old/inner") << std::string("docs") << QList<Answer>{Answer::Yes}
            << QStringList{nested, "任务添加成功"} << true;
        QTest::newRow("nested storage, stop") << std::string("bak/old/inner") << std::string("docs")
                                              << QList<Answer>{Answer::No} << QStringList{nested} << false;
        QTest::newRow("same storage")
            << std::string("bak/old") << std::string("docs") << QList<Answer>{}
            << QStringList{"错误的任务: 任务存储路径和已有的任务相同，请重新设置。"} << false;
        QTest::newRow("same name") << std::string("bak/other") << std::string("old") << QList<Answer>{}
                                   << QStringList{"错误的任务: 任务名重复，请重新设置"} << false;
    }
    void TheStoreChecksBeforeTheSave() {
        QFETCH(std::string, storage);
        QFETCH(std::string, name);
        QFETCH(QList<Answer>, answers);
        QFETCH(QStringList, texts);
        QFETCH(bool, saved);
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "old"))}));
        std::filesystem::create_directories(f.folder / storage);
        NewTaskEditor e(f);
        Control<QLineEdit>(e.base, "1054")->setText(QString::fromStdString(name));
        Control<QLineEdit>(e.base, "1060")->setText(QString::fromStdString(f.folder / storage));
        f.prompter.Script(answers);
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts(), texts);
        QCOMPARE(StoredTasks().size(), std::size_t(saved ? 2 : 1));
        QCOMPARE(e.editor.result(), int(saved ? QDialog::Accepted : QDialog::Rejected));
        if (answers == QList<Answer>{Answer::No})
            QCOMPARE(Control<QLineEdit>(e.base, "1060")->text(), QString());
    }

    // The typed compression password is the task's from then on: an emptied field removes it, and the next
    // backup makes an archive that opens without one.
    void TheTypedPasswordReplacesTheStoredOne_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("emptied") << "";
        QTest::newRow("changed") << "neu geheim";
        QTest::newRow("kept") << "alt geheim";
    }
    void TheTypedPasswordReplacesTheStoredOne() {
        QFETCH(QString, typed);
        const std::string password = typed.toStdString();
        Fixture f;
        TaskInfo task = f.Task(4, "docs");
        task.flags |= zov::kTaskCompress;
        task.password = "alt geheim";
        std::filesystem::create_directories(task.dest);
        zov::gui::test::WriteFile(f.folder / "src/a.txt", "alpha");
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CFileBackupSetupDlg editor(nullptr);
        editor.SetOperation(CFileBackupSetupDlg::kModify, 4);
        QVERIFY(editor.Prepare());
        Control<QLineEdit>(*editor.basePage(), "1122")->setText(typed);
        ClickOk(editor);
        QCOMPARE(f.prompter.Texts(), QStringList{"任务修改成功"});
        const std::vector<TaskInfo> stored = StoredTasks();
        QCOMPARE(stored.size(), std::size_t(1));
        QCOMPARE(stored.front().password, password);

        const std::string rar = BuiltProgram("rar").toStdString();
        zov::test::RecordingJob job;
        std::string message;
        QVERIFY2(zov::CBackup().RunFileTask(stored.front(), rar, message, job.Context()) != 0,
                 message.c_str());
        std::string archive;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(task.dest))
            if (entry.path().extension() == ".rar") archive = entry.path();
        QVERIFY(!archive.empty());
        zov::CZipOperator archiver(rar);
        const std::string out = f.folder / "out/";
        if (!password.empty()) QVERIFY(archiver.ExtractFile(archive, out, "") != 0);
        QCOMPARE(archiver.ExtractFile(archive, out, password), 0);
        QCOMPARE(ReadFile(out + "src/a.txt"), std::string("alpha"));
    }

    // A save that fails leaves neither task.db nor the store with the task, so a second try adds it once.
    void AFailedSaveCanBeTriedAgain() {
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "old"))}));
        NewTaskEditor e(f);
        {
            const FileSizeLimit limit(64);
            ClickOk(e.editor);
        }
        QCOMPARE(f.prompter.Texts(), QStringList{"任务添加(修改)失败"});
        QCOMPARE(e.editor.result(), int(QDialog::Rejected));
        std::vector<TaskInfo> inStore;
        TaskStore().GetAllTasks(inStore);
        QCOMPARE(inStore.size(), std::size_t(1));
        ClickOk(e.editor);
        QCOMPARE(f.prompter.Texts().back(), QString("任务添加成功"));
        QCOMPARE(StoredTasks().size(), std::size_t(2));
    }

    void ThePagesFollowTheirChoices() {
        Fixture f;
        QVERIFY(StoreRecords({}));
        NewTaskEditor e(f);
        QLineEdit* password = Control<QLineEdit>(e.base, "1122");
        QCheckBox* volumes = Control<QCheckBox>(e.ext, "1425");
        QVERIFY(password->isReadOnly());
        QVERIFY(!volumes->isEnabled());
        e.Click("1119");
        QVERIFY(!password->isReadOnly());
        QVERIFY(volumes->isEnabled());
        QTest::mouseClick(Control<QPushButton>(e.editor, "1350"), Qt::LeftButton);
        QCOMPARE(Control<QPushButton>(e.editor, "1082")->text(), QString("返回"));
        QVERIFY(Control<QPlainTextEdit>(e.ext, "1127")->isReadOnly());
        e.Click("1125");
        QVERIFY(!Control<QPlainTextEdit>(e.ext, "1127")->isReadOnly());
        Control<QPlainTextEdit>(e.ext, "1127")->setPlainText("*.tmp|a?b");
        Control<QPlainTextEdit>(e.ext, "1127")->setPlainText("*.tmp|a?b<c");
        QCOMPARE(f.prompter.Texts(),
                 QStringList{"您输入的筛选规则中含有不允许的字符（<>?），请去除，否则该规则将失效。"});
        SaveScreenshot(e.editor, "file-editor-extended");
        QTest::mouseClick(Control<QPushButton>(e.editor, "1082"), Qt::LeftButton);
        QVERIFY(e.base.isVisibleTo(&e.editor));
        QCOMPARE(e.editor.result(), int(QDialog::Rejected));
        e.Click("1118");
        QVERIFY(!volumes->isEnabled());
        e.editor.SetCompressionAvailable(false);
        e.editor.Prepare();
        QVERIFY(!Control<QRadioButton>(e.base, "1119")->isEnabled());
        SaveScreenshot(e.editor, "file-editor-new");
    }

    void TheFilterHelpShowsItsItems() {
        TempProgramFolder folder;
        CFilterHintDlg hint(nullptr);
        QCOMPARE(hint.windowTitle(), QString("Stowmeran 文件筛选规则说明"));
        const QString text = hint.findChild<QPlainTextEdit*>("1122")->toPlainText();
        for (int item = 1; item <= 7; ++item) QVERIFY(text.contains(QString("\n%1.").arg(item)));
        SaveScreenshot(hint, "file-filter-help");
    }
};

QTEST_MAIN(FileTaskEditorTest)
#include "FileTaskEditorTest.moc"
