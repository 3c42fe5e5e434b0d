#include "gui/shell/ToolkitSetup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "gui/shell/PageLook.h"

namespace zov::gui {

namespace {

constexpr const char* kToolkitTranslation = "qtbase_zh_CN";
constexpr int kFontPixels = 12;

}  // namespace

void SetUpToolkit(QApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load(kToolkitTranslation, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
    // Platforms differ in the fonts of their buttons and menus (the VNC platform's are larger).
    QApplication::setFont(PageFont(kFontPixels));
}

}  // namespace zov::gui
