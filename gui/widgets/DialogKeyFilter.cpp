#include "gui/widgets/DialogKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace zov::gui {

namespace {

bool IsSwallowedKey(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        case Qt::Key_F4:
            return key.modifiers().testFlag(Qt::AltModifier);
        default:
            return false;
    }
}

// One application-wide filter: a key press reaches the focus widget first, and buttons and edits act on
// Enter themselves, so the filter must see it before any widget of the dialog does.
class KeyFilter : public QObject {
  public:
    void Add(QWidget* dialog) {
        dialogs_.removeAll(nullptr);
        if (!dialogs_.contains(dialog)) dialogs_.append(dialog);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        if (!IsSwallowedKey(*static_cast<QKeyEvent*>(event))) return false;
        auto* widget = static_cast<QWidget*>(watched);
        for (const QPointer<QWidget>& dialog : dialogs_) {
            if (dialog && (dialog == widget || dialog->isAncestorOf(widget))) return true;
        }
        return false;
    }

  private:
    QList<QPointer<QWidget>> dialogs_;
};

}  // namespace

void InstallDialogKeyFilter(QWidget* dialog) {
    if (dialog == nullptr || qApp == nullptr) return;
    static QPointer<KeyFilter> filter;
    if (!filter) {
        filter = new KeyFilter;
        filter->setParent(qApp);
        qApp->installEventFilter(filter);
    }
    filter->Add(dialog);
}

}  // namespace zov::gui
