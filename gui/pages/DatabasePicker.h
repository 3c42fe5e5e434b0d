#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <string>

class QLabel;
class QTreeWidget;

namespace zov::gui {

// What the database lists of an editor are called: the ids of the two lists, their count labels and the
// four move buttons.
struct DatabasePickerIds {
    const char* available;
    const char* selected;
    const char* availableCount;
    const char* selectedCount;
    const char* add;
    const char* remove;
    const char* addAll;
    const char* clear;
};

// The database lists of the database task editors: the databases to choose from ("待选数据库：") and those
// chosen ("已选数据库："), moved by the buttons or a double click. The entry "{所有数据库}" stands for every
// database of the server: chosen, it is the only entry of both lists, and the task stores "?????".
class DatabasePicker : public QWidget {
    Q_OBJECT

  public:
    static constexpr const char* kAllEntry = "{所有数据库}";
    static constexpr const char* kAllStored = "?????";

    DatabasePicker(const DatabasePickerIds& ids, QWidget* parent);

    QTreeWidget* availableList() const { return available_; }
    QTreeWidget* selectedList() const { return selected_; }
    bool allChosen() const { return all_; }

    // Both lists emptied, nothing chosen.
    void Clear();
    // The names of a server's databases to choose from, "{所有数据库}" first; those already chosen (same
    // spelling) are left out.
    void SetAvailable(const QStringList& names);
    // The chosen databases of a stored task: "?????" chooses every database, else the names joined by '|'.
    void SetChosen(const std::string& stored);
    // What the task stores: "?????", or the chosen names joined by '|' in list order ("" for none).
    std::string Chosen() const;
    // The chosen entries are dropped and "{所有数据库}" is no longer chosen.
    void ClearChosen();

  public slots:
    void AddDatabase();
    void RemoveDatabase();
    void AddAllDatabases();
    void ClearSelected();

  signals:
    // The server's databases are to be listed again (a choice of every database was taken back).
    void relistRequested();

  private:
    void UpdateCounts();

    QTreeWidget* available_;
    QTreeWidget* selected_;
    QLabel* availableCount_;
    QLabel* selectedCount_;
    bool all_ = false;
};

}  // namespace zov::gui
