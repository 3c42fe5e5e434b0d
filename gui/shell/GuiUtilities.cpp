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

void OpenPathIfSet(const std::string& path) {
    if (!path.empty()) CurrentShell().Open(path);
}

bool OpenInExplorer(QWidget* owner, const std::string& path) {
    if (IsDirectory(path)) return CurrentShell().Open(path);
    if (!path.empty() && PathExists(path)) return CurrentShell().Open(GetParentFolder(path));
    ShowBox(owner, QString("路径[%1]不存在，打开失败！").arg(QString::fromStdString(path)), kProductName,
            Prompter::Icon::Error);
    return false;
}

}  // namespace zov::gui
