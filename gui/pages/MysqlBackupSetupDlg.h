#pragma once

#include <string>

#include "gui/pages/DatabaseTaskEditor.h"

class QComboBox;
class QLineEdit;

namespace zov::gui {

class CMyButton;

// The MySQL task editor: the service is one of the MySQL servers of this computer (FindMySqlServices),
// the databases to choose from are those of its data folder, found by the engine's rules; when the folder
// cannot be found, a box says why. The root password is tested by logging in where every MySQL client of the
// system connects ("检测", and before a save). Controls carry their ids as object names.
class CMysqlBackupSetupDlg : public DatabaseTaskEditor {
    Q_OBJECT

  public:
    explicit CMysqlBackupSetupDlg(QWidget* parent);

    QComboBox* serviceBox() const { return services_; }
    // Lists the MySQL services in the box and chooses the first.
    void FillServices();
    // The data folder of the service's server; "" with a box that says why it was not found.
    std::string ServiceDataDir(const std::string& service);

  protected:
    void SetServerDefaults() override;
    bool LoadServer(const TaskInfo& task) override;
    bool GatherServer(TaskInfo& task) override;
    bool ConfirmSave() override;

  public slots:
    // "检测": whether the server takes the root password typed, in a box.
    void TestRootLogin();

  private:
    // The databases of the chosen service's data folder are the ones to choose from.
    void OnServiceChange();
    // Tests the root password typed (TestLogin) under a wait cursor; false with the client's error.
    bool LogIn(std::string& error) const;
    // The names of the databases of the service's data folder.
    QStringList DataFolderDatabases(const std::string& service);

    QComboBox* services_;
    QLineEdit* rootPassword_;
    CMyButton* test_;
};

}  // namespace zov::gui
