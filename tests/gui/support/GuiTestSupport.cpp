#include "support/GuiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ProgramDir.h"

namespace zov::gui::test {

TempProgramFolder::TempProgramFolder() : previous_(NamedProgramDir()) {
    if (folder_.isValid()) SetProgramDir(path());
}

TempProgramFolder::~TempProgramFolder() { SetProgramDir(previous_.value_or("")); }

std::string TempProgramFolder::path() const { return folder_.path().toStdString() + "/"; }

QStringList RowTexts(const QTreeWidget& list) {
    QStringList rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list.columnCount(); ++column)
            cells.append(list.topLevelItem(row)->text(column));
        rows.append(cells.join('/'));
    }
    return rows;
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    const QString folder = qEnvironmentVariable("ZOV_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QWidget& window = *widget.window();
    if (!window.isVisible()) window.show();
    QApplication::processEvents();
    QDir().mkpath(folder);
    window.grab().save(folder + "/" + name + ".png");
}

QString BuiltProgram(const QString& name) {
    const QString output = qEnvironmentVariable("ZOV_PROGRAM_OUTPUT");
    const QString program = output + "/" + name;
    return !output.isEmpty() && QFileInfo(program).isExecutable() ? program : QString();
}

QString CannotOpenText(const QString& what, const std::string& target) {
    return QString("无法打开%1[%2]：没有可用的打开程序 xdg-open，或它运行失败。")
        .arg(what, QString::fromStdString(target));
}

bool WriteFile(const std::string& path, const std::string& content) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace zov::gui::test
