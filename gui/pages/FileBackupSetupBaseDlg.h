#pragma once

#include <QString>
#include <QWidget>

#include "engine/tasks/TaskInfo.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace zov::gui {

class CDropEdit;
class SchedulePicker;

// The base page of the file task editor: name, source and storage folders, compression and its password,
// schedule, keep days and the clean-up of malformed files. Controls carry their ids as object names.
class CFileBackupSetupBaseDlg : public QWidget {
    Q_OBJECT

  public:
    explicit CFileBackupSetupBaseDlg(QWidget* parent);

    // Without the archiver only "不压缩" can be chosen.
    void SetCompressionAvailable(bool available);
    void SetDefaults();
    void Load(const TaskInfo& task);
    // Why the page's fields make no task: "任务名为空或者不合法" for an empty name, else the schedule's
    // time fault; "" when they make one.
    QString Refusal() const;
    // Writes the page's fields into task (flags 0x02, 0x04 and 0x08 set or cleared). Asks whether to create
    // a missing storage folder when it is a usable path: true when the answer was to create it, which the
    // editor does once the task is saved.
    bool Gather(TaskInfo& task);
    void ClearStorage();

  signals:
    // "不压缩" (false) or one of the compressed modes (true) was chosen.
    void compressionChanged(bool compressed);

  private:
    void ChooseCompression(QRadioButton* chosen);
    void Browse(QLineEdit* edit, const QString& title);
    void OpenFolder(QLineEdit* edit);

    QLineEdit* name_;
    CDropEdit* source_;
    CDropEdit* storage_;
    QRadioButton* noCompression_;
    QRadioButton* compression_;
    QRadioButton* subfolderCompression_;
    QLineEdit* password_;
    SchedulePicker* schedule_;
    QLineEdit* keepDays_;
    QCheckBox* cleanMalformed_;
};

}  // namespace zov::gui
