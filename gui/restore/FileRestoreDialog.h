#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "engine/tasks/TaskInfo.h"
#include "gui/restore/RestoreBox.h"
#include "gui/restore/RestoreRequests.h"
#include "gui/restore/RestoreThreads.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zov::gui {

// " 文件还原": the restore points of one file task, read from its storage folder, as a tree with check
// boxes: one root of the task's item holding every point by time (whole-folder tasks), or one root per
// run time holding the point of each sub-folder (per-sub-folder tasks). The checked points are restored
// with the task's settings, or with the options saved for a point ("保存设置": base, differential, target,
// password). A restore into a folder that holds anything merges into it, so it is asked first. The
// restores run on worker threads, each with its own copy of what it restores, while the dialog stays
// usable; a second restore waits until they end, and closing the dialog stops them.
class CFRSetupDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CFRSetupDlg(QWidget* parent = nullptr);

    // A copy of the task to restore; nullptr: none, and the dialog closes itself at once when shown.
    void SetTask(const zov::TaskInfo* task);

  public slots:
    // Closing while a restore runs asks first; Yes stops the restores.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    void BuildRestoreTree();
    bool PerSubfolder() const { return task_.compress; }

    // A click on an item, and a change of its check box by the user.
    void OnItemClicked(QTreeWidgetItem* item);
    void OnItemChanged(QTreeWidgetItem* item);
    void ApplyCheckRules(QTreeWidgetItem* item, bool wasChecked);
    void SetChecked(QTreeWidgetItem* item, bool checked);
    void UncheckOtherRoots(QTreeWidgetItem* root);
    void OnItemSelected();
    void EnableOptions(bool enabled);
    void ShowOptions(const RestoreItemOptions& options);
    RestoreItemOptions GetDefaultItemOptions(const std::string& itemPath) const;

    void OnApplyItemOptions();
    void OnRestore();
    // Asks once for each target folder that exists and holds anything, as the restore merges into it;
    // false when one answer is not Yes.
    bool ConfirmMergedTargets(const FileRestoreRequest& request, const RestoreBatch& batch);
    void StartRestore(const FileRestoreRequest& request, const RestoreBatch& batch);
    void OnRestoreEnded(int generation, const RestoreBox& box);
    void BrowseSet(QLineEdit* edit, const QString& title, const QString& refusal);
    void BrowseTarget();

    zov::TaskInfo task_;
    bool hasTask_ = false;
    // Saved options by item path.
    std::map<std::string, RestoreItemOptions> options_;
    QTreeWidgetItem* lastChecked_ = nullptr;   // whole-folder tasks: the one point checked
    QTreeWidgetItem* toggledByBox_ = nullptr;  // the item whose check box the user just changed
    bool applyingRules_ = false;

    QTreeWidget* tree_;
    QLineEdit* base_;
    QLineEdit* differential_;
    QLineEdit* target_;
    QLineEdit* password_;
    QCheckBox* showPassword_;
    QPushButton* browseBase_;
    QPushButton* browseDifferential_;
    QPushButton* browseTarget_;
    QPushButton* save_;
    QPushButton* restore_;
    QLabel* hint_;

    // Restores started and not yet ended; the results of a stopped run (an older generation) are dropped.
    int running_ = 0;
    int generation_ = 0;
    RestoreThreads threads_;
};

}  // namespace zov::gui
