#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <optional>
#include <string>

class QTreeWidget;

namespace zov::gui::test {

// A fresh program folder, the process's program folder (SetProgramDir) for the life of the object.
class TempProgramFolder {
  public:
    TempProgramFolder();
    ~TempProgramFolder();
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;

    bool isValid() const { return folder_.isValid(); }
    // The folder with a trailing '/'.
    std::string path() const;
    std::string operator/(const std::string& relative) const { return path() + relative; }

  private:
    QTemporaryDir folder_;
    std::optional<std::string> previous_;
};

// When ZOV_SCREENSHOT_DIR is set, saves a PNG of the widget's window there as <name>.png (shown and
// laid out first); otherwise does nothing.
void SaveScreenshot(QWidget& widget, const QString& name);

// A program of the build's program folder ($ZOV_PROGRAM_OUTPUT/name); "" when it is not built.
QString BuiltProgram(const QString& name);

// The box that says the folder or address ("文件夹", "网址") could not be opened.
QString CannotOpenText(const QString& what, const std::string& target);

// The control of the parent whose object name (its id) is id; the test program ends when there is none.
template <typename T>
T* Control(QWidget& parent, const char* id) {
    T* control = parent.findChild<T*>(id);
    if (control == nullptr) qFatal("no control %s", id);
    return control;
}

// Each row of the list, its cells joined by '/'.
QStringList RowTexts(const QTreeWidget& list);

// Writes and reads whole files; Read gives "" for a missing file.
bool WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

}  // namespace zov::gui::test
