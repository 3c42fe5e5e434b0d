#pragma once

#include <string>

#include "gui/pages/DatabaseTaskEditor.h"

class QComboBox;

namespace zov::gui {

class SqlDatabaseListing;

// The SQL Server task editor: the instance is one of config.ini [MSSQL] "Instances" or a typed name, and
// the databases to choose from are those the instance lists, read on a thread of their own that the editor
// abandons, without waiting for it, when the instance changes or the window closes. Controls carry their ids
// as object names.
class CMSSqlBackupSetupDlg : public DatabaseTaskEditor {
    Q_OBJECT

  public:
    explicit CMSSqlBackupSetupDlg(QWidget* parent);

    QComboBox* instanceBox() const { return instances_; }
    SqlDatabaseListing* listing() const { return listing_; }
    // Lists the instances of config.ini in the box and chooses the one named preferred (ASCII case
    // ignored; added first when it is not listed), or without a preferred name the one chosen before.
    void FillInstances(const QString& preferred);

    void done(int result) override;

  protected:
    void SetServerDefaults() override;
    bool LoadServer(const TaskInfo& task) override;
    bool GatherServer(TaskInfo& task) override;

  private:
    // The databases of the instance in the box are listed again; confirm: the typed name is taken.
    void ListDatabases(bool confirm);
    void OnListed(bool succeeded, const QStringList& names, const QString& message);
    void SetListing(bool running);

    QComboBox* instances_;
    SqlDatabaseListing* listing_;
    std::string instance_;
};

}  // namespace zov::gui
