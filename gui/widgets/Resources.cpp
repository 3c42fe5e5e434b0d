#include "gui/widgets/Resources.h"

#include <QFile>

// The images are compiled into this static library; its initialiser must be called by name.
static void InitResources() { Q_INIT_RESOURCE(stowmeran); }

namespace zov::gui {

namespace {

QString ResourcePath(const char* kind, int resourceId) {
    static const bool initialised = (InitResources(), true);
    (void)initialised;
    return QStringLiteral(":/res/images/%1-%2.png").arg(QLatin1String(kind)).arg(resourceId);
}

}  // namespace

QPixmap LoadBitmap(int resourceId) { return QPixmap(ResourcePath("bitmap", resourceId)); }

QIcon LoadIcon(int resourceId) {
    const QString path = ResourcePath("icon", resourceId);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace zov::gui
