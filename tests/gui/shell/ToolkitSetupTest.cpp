#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "gui/shell/FileChooser.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/ToolkitSetup.h"
#include "support/GuiTestSupport.h"

class ToolkitSetupTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { zov::gui::SetUpToolkit(*qApp); }

    void TheToolkitsButtonsSpeakChinese() {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                             QDialogButtonBox::No);
        QStringList texts;
        for (QAbstractButton* button : box.buttons()) texts << button->text();
        texts.sort();
        QCOMPARE(texts, (QStringList{"取消", "否(&N)", "是(&Y)", "确定"}));
    }

    // The platform's own fonts for buttons, menus and edits give way to the labels' font.
    void EveryWidgetDrawsInTheLabelsFont() {
        const QFontInfo label(zov::gui::PageFont(12));
        QPushButton button("浏览");
        QMenu menu;
        QLineEdit edit;
        for (QWidget* widget : std::initializer_list<QWidget*>{&button, &menu, &edit}) {
            const QFontInfo font(widget->font());
            QCOMPARE(font.family(), label.family());
            QCOMPARE(font.pixelSize(), label.pixelSize());
        }
    }

    // Size, type and date are shown whole, a long type name too, also after an earlier chooser left narrow
    // columns in the toolkit's stored settings.
    void TheFileChoosersColumnsFitTheirValues() {
        {
            QFileDialog earlier;
            QHeaderView* header = earlier.findChild<QTreeView*>("treeView")->header();
            for (int column = 1; column < header->count(); ++column) header->resizeSection(column, 20);
        }
        QTemporaryDir folder;
        QVERIFY(zov::gui::test::WriteFile(folder.path().toStdString() + "/backup.tar.gz",
                                          std::string(123456, 'x')));
        QVERIFY(QDir(folder.path()).mkdir("a folder"));
        QList<int> widths;
        QList<int> needed;
        QString chooserTitle;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* view = dialog != nullptr ? dialog->findChild<QTreeView*>("treeView") : nullptr;
            if (view == nullptr) return;
            chooserTitle = dialog->windowTitle();
            const QModelIndex root = view->rootIndex();
            const auto filled = [&] {
                const QAbstractItemModel& model = *view->model();
                return model.rowCount(root) == 2 && !model.index(1, 1, root).data().toString().isEmpty();
            };
            if (QTest::qWaitFor(filled, 10000)) {
                QApplication::processEvents();
                for (int column = 1; column < view->header()->count(); ++column) {
                    widths << view->header()->sectionSize(column);
                    int widest = 0;
                    for (int row = 0; row < 2; ++row) {
                        const QString value = view->model()->index(row, column, root).data().toString();
                        widest = std::max(widest, view->fontMetrics().horizontalAdvance(value));
                    }
                    needed << widest;
                }
            }
            zov::gui::test::SaveScreenshot(*dialog, "file-chooser");
            dialog->reject();
        });
        QCOMPARE(zov::gui::ChooseFile(nullptr, "rar", folder.path(), "*"), QString());
        QCOMPARE(chooserTitle, QString("rar"));
        QCOMPARE(widths.size(), 3);
        for (int column = 0; column < widths.size(); ++column)
            QVERIFY2(
                widths[column] > needed[column],
                qPrintable(
                    QString("column %1: %2 for %3").arg(column + 1).arg(widths[column]).arg(needed[column])));
    }
};

// The toolkit keeps the choosers' column widths in the user's settings: these tests keep theirs apart.
int main(int argc, char** argv) {
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    QApplication application(argc, argv);
    ToolkitSetupTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ToolkitSetupTest.moc"
