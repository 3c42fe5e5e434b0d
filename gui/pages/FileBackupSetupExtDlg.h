#pragma once

#include <QWidget>

#include "engine/tasks/TaskInfo.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace zov::gui {

// The extended page of the file task editor: the name filter, differential backup and volumes. Controls
// carry their ids as object names.
class CFileBackupSetupExtDlg : public QWidget {
    Q_OBJECT

  public:
    explicit CFileBackupSetupExtDlg(QWidget* parent);

    void SetDefaults();
    void Load(const TaskInfo& task);
    // Writes the page's fields into task (flags 0x10 and 0x20 set or cleared).
    void Gather(TaskInfo& task);
    // The pattern warning may come once more (a new opening of the editor).
    void ResetPatternWarning() { patternWarned_ = false; }
    // Volumes only with compression.
    void SetCompression(bool compressed);
    QPlainTextEdit* patternEdit() const { return patterns_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ChooseFilter(QRadioButton* chosen);
    void ChooseDiff(bool on);
    void OnVolumesToggled(bool on);
    void OnPatternsChanged();

    QRadioButton* allFiles_;
    QRadioButton* excludeFiles_;
    QRadioButton* includeFiles_;
    QPlainTextEdit* patterns_;
    QRadioButton* diffOn_;
    QRadioButton* diffOff_;
    QLineEdit* basePeriod_;
    QCheckBox* volumes_;
    QLineEdit* volumeSize_;
    QLabel* helpLink_;
    bool patternWarned_ = false;
};

}  // namespace zov::gui
