#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <string>

#include "engine/tasks/TaskInfo.h"

class QComboBox;
class QLabel;

namespace zov::gui {

class CDataEdit;
class CTimeEdit;

// The ids and texts of an editor's schedule row: the period box ("每天", "每周", "每月"), the day field
// with its label and the "号" after it, the time field with its label.
struct ScheduleRowLook {
    const char* period;
    const char* dayLabel;
    const char* days;
    const char* dayUnit;
    const char* timeLabel;
    const char* times;
    std::array<QString, 3> dayLabels;  // daily (or none chosen), weekly, monthly
    QString timeLabelText;
};

// The schedule of a task in the task editors: "备份周期：" with the period, the days of a weekly or monthly
// schedule and the times of day. A task whose scheduled runs are off shows no period but keeps its days and
// times, so that a save keeps them.
class SchedulePicker : public QWidget {
    Q_OBJECT

  public:
    // Placed at (0, y) of the parent, as wide as the editor's page.
    SchedulePicker(const ScheduleRowLook& look, int y, QWidget* parent);

    // Daily at 01:00.
    void SetDefaults();
    void Load(const TaskInfo& task);
    // The period, days and times into task, with kTaskScheduled set when a period is chosen.
    void Gather(TaskInfo& task) const;
    // Why the typed times cannot be saved (TimeFieldFault) while a period is chosen; "" when they can.
    // Without a period the field is read-only and keeps the stored times.
    QString TimeFault() const;

  private:
    void OnPeriodChanged(int index);

    ScheduleRowLook look_;
    QComboBox* period_;
    QLabel* dayLabel_;
    CDataEdit* days_;
    QLabel* dayUnit_;
    CTimeEdit* times_;
    // The stored times of the task loaded, for a time field left without a time.
    std::string loadedTimes_;
    int loadedPeriod_ = kDaily;
};

}  // namespace zov::gui
