#include "gui/widgets/FilteredEdits.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QValidator>

namespace zov::gui {

namespace {

// Drops every character that is not allowed, so any input becomes acceptable text.
class AllowedCharacters : public QValidator {
  public:
    AllowedCharacters(const QString& allowed, QObject* parent) : QValidator(parent), allowed_(allowed) {}

    State validate(QString& input, int& position) const override {
        QString kept;
        int keptBeforeCursor = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (!allowed_.contains(input[i])) continue;
            kept += input[i];
            if (i < position) ++keptBeforeCursor;
        }
        input = kept;
        position = keptBeforeCursor;
        return Acceptable;
    }

  private:
    QString allowed_;
};

// The local path of the first dropped item, "" when it is not a local file.
QString FirstLocalPath(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return {};
    const QUrl first = data->urls().first();
    return first.isLocalFile() ? first.toLocalFile() : QString();
}

}  // namespace

FilteredEdit::FilteredEdit(const QString& allowed, QWidget* parent) : QLineEdit(parent) {
    setValidator(new AllowedCharacters(allowed, this));
}

void FilteredEdit::keyPressEvent(QKeyEvent* event) {
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) event->accept();
}

CTimeEdit::CTimeEdit(QWidget* parent) : FilteredEdit("0123456789,:", parent) {}

CDataEdit::CDataEdit(QWidget* parent) : FilteredEdit("0123456789,", parent) {}

CDropEdit::CDropEdit(QWidget* parent) : QLineEdit(parent) { setAcceptDrops(true); }

void CDropEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstLocalPath(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CDropEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (!FirstLocalPath(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CDropEdit::dropEvent(QDropEvent* event) {
    const QFileInfo dropped(FirstLocalPath(event->mimeData()));
    if (dropped.filePath().isEmpty() || !dropped.exists()) {
        event->ignore();
        return;
    }
    QString folder = dropped.absolutePath();
    if (!folder.endsWith('/')) folder += '/';
    setText(dropped.isDir() ? dropped.filePath() : folder);
    event->acceptProposedAction();
}

}  // namespace zov::gui
