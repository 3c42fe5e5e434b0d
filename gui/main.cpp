#include <QApplication>

#include "gui/shell/StowmeranApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return zov::gui::CStowmeranApp().Run();
}
