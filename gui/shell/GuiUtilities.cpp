#include "gui/shell/GuiUtilities.h"

#include <QMetaObject>
#include <QWidget>

#include "engine/util/CommonPaths.h"
#include "gui/shell/Prompter.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace zov::gui {

QString BuildTimeChoices(int step) {
    if (step <= 0) step = 10;
    QString choices;
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; minute += step) {
            choices += QStringLiteral("%1:%2 ").arg(hour, 2, 10, QChar('0')).arg(minute, 2, 10, QChar('0'));
        }
    }
    return choices;
}

QString GetTodayText() { return QString::fromStdString(FormatLocalTime(Now(), "%Y-%m-%d")); }

QString MainCaption(const QString& state) {
    const QString caption = QString(kProductName) + "V" + kProductVersion;
    return state.isEmpty() ? caption : caption + " - " + state;
}

void SetMainCaption(QWidget* mainWindow, const QString& state) {
    if (mainWindow == nullptr) return;
    // Runs on the window's thread; dropped when the window is gone by then.
    QMetaObject::invokeMethod(
        mainWindow, [mainWindow, caption = MainCaption(state)] { mainWindow->setWindowTitle(caption); });
}

bool OpenWithShell(QWidget* owner, const std::string& target, const QString& what) {
    if (CurrentShell().Open(target)) return true;
    ShowBox(owner,
            QString("无法打开%1[%2]：没有可用的打开程序 xdg-open，或它运行失败。")
                .arg(what, QString::fromStdString(target)),
            "错误", Prompter::Icon::Error);
    return false;
}

void OpenPathIfSet(const std::string& path, QWidget* owner) {
    if (!path.empty()) OpenWithShell(owner, path, IsDirectory(path) ? "文件夹" : "文件");
}

bool OpenInExplorer(QWidget* owner, const std::string& path) {
    if (IsDirectory(path)) return OpenWithShell(owner, path, "文件夹");
    if (!path.empty() && PathExists(path)) return OpenWithShell(owner, GetParentFolder(path), "文件夹");
    ShowBox(owner, QString("路径[%1]不存在，打开失败！").arg(QString::fromStdString(path)), kProductName,
            Prompter::Icon::Error);
    return false;
}

}  // namespace zov::gui
