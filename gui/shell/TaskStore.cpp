#include "gui/shell/TaskStore.h"

namespace zov::gui {

CQelXML& TaskStore() {
    static CQelXML store(false);
    return store;
}

}  // namespace zov::gui
