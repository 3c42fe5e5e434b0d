#pragma once

#include <QLineEdit>

namespace zov::gui {

// A line edit that holds only the given characters, whether typed, pasted, dropped or set by the program
// (others are left out), and keeps Return and Enter from reaching its dialog.
class FilteredEdit : public QLineEdit {
    Q_OBJECT

  public:
    FilteredEdit(const QString& allowed, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Times of day: digits, ',' and ':' ("08:30,20:00").
class CTimeEdit : public FilteredEdit {
    Q_OBJECT

  public:
    explicit CTimeEdit(QWidget* parent = nullptr);
};

// Lists of numbers: digits and ',' ("1,15,28").
class CDataEdit : public FilteredEdit {
    Q_OBJECT

  public:
    explicit CDataEdit(QWidget* parent = nullptr);
};

// A folder path edit that accepts a file or folder dropped from the desktop: a folder's path is taken as
// it is, a file gives its folder with a trailing '/'. Only the first dropped item counts.
class CDropEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CDropEdit(QWidget* parent = nullptr);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace zov::gui
