#include "gui/pages/DetailLogDlg.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include "engine/backup/Backup.h"
#include "engine/logs/QelLog.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/QtText.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

constexpr int kIcon = 182;
constexpr int kLabelX = 20;
constexpr int kFieldX = 96;
constexpr int kFieldWidth = 300;
constexpr int kRowHeight = 30;

QString SourceText(int category) {
    switch (category) {
        case kLogFiles:
            return "文件";
        case kLogSqlServer:
            return "SQL Server";
        case kLogMySql:
            return "MySQL";
        default:
            return "";
    }
}

QLineEdit* AddField(QDialog& dialog, const char* id, const QString& label, const std::string& text, int row,
                    int width = kFieldWidth) {
    AddLabel(dialog, "", label, kLabelX, 16 + row * kRowHeight, 76, 22);
    auto* field = AddEdit<QLineEdit>(dialog, id, {kFieldX, 14 + row * kRowHeight, width, 24});
    field->setText(Q(text));
    field->setReadOnly(true);
    field->setCursorPosition(0);
    return field;
}

void MarkRed(QWidget& field, bool red) {
    if (red) SetTextColor(field, QColor(255, 0, 0));
}

}  // namespace

CDetailLogDlg::CDetailLogDlg(const LogRecord& record, int category, QWidget* parent)
    : QDialog(parent), record_(record) {
    setWindowTitle("日志详情");
    setWindowIcon(LoadIcon(kIcon));
    setFixedSize(470, 400);
    MakeWhitePage(*this);

    const bool targetExists = PathExists(record_.target);
    if (!targetExists && record_.operation == CQelLog::TypeText(kLogTypeDiff) &&
        record_.result == kLogSucceeded) {
        record_.message += record_.message.empty() ? kNoDiffNote : std::string("\n") + kNoDiffNote;
    }
    AddField(*this, "1122", "任 务 名：", record_.taskName, 0);
    AddField(*this, "1172", "开始时间：", record_.startTime, 1);
    AddField(*this, "1361", "日 志 源：", SourceText(category).toStdString(), 2);
    AddField(*this, "1362", "任务类型：", record_.operation, 3);
    QLineEdit* result = AddField(*this, "1366", "状    态：", record_.result, 4);
    MarkRed(*result, record_.result == kLogFailed);
    QLineEdit* item = AddField(*this, "1364", "备份目标：", record_.item, 5, kFieldWidth - 60);
    MarkRed(*item, category == kLogFiles && !PathExists(record_.item));
    QLineEdit* target = AddField(*this, "1365", "存储路径：", record_.target, 6, kFieldWidth - 60);
    MarkRed(*target, !targetExists);
    AddField(*this, "1363", "时间消耗：", record_.elapsed, 7, 120);
    AddLabel(*this, "", "备    注：", kLabelX, 16 + 8 * kRowHeight, 76, 22);
    auto* message = new QPlainTextEdit(Q(record_.message), this);
    message->setObjectName("1367");
    message->setReadOnly(true);
    message->setGeometry(kFieldX, 14 + 8 * kRowHeight, kFieldWidth, 64);
    message->setFont(PageFont(12));

    CMyButton* openItem =
        AddButton(*this, "1368", "打开", {kFieldX + kFieldWidth - 54, 14 + 5 * kRowHeight, 54, 24});
    CMyButton* openTarget =
        AddButton(*this, "1167", "打开", {kFieldX + kFieldWidth - 54, 14 + 6 * kRowHeight, 54, 24});
    openTarget->setEnabled(targetExists);
    CMyButton* ok = AddButton(*this, "1095", "确  定", {190, 356, 90, 28});
    connect(openItem, &QPushButton::clicked, this, [this] { OpenPathIfSet(record_.item, this); });
    connect(openTarget, &QPushButton::clicked, this, [this] { OpenInExplorer(this, record_.target); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    InstallDialogKeyFilter(this);
}

}  // namespace zov::gui
