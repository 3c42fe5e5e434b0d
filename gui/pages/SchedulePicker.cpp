#include "gui/pages/SchedulePicker.h"

#include <QComboBox>
#include <QLabel>
#include <algorithm>

#include "gui/pages/ScheduleFields.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/widgets/FilteredEdits.h"

namespace zov::gui {

namespace {

constexpr const char* kDefaultTime = "01:00";

}  // namespace

SchedulePicker::SchedulePicker(const ScheduleRowLook& look, int y, QWidget* parent)
    : QWidget(parent), look_(look) {
    setGeometry(0, y, 480, 56);
    AddLabel(*this, "", "备份周期：", 10, 0, 76, 24);
    period_ = new QComboBox(this);
    period_->setObjectName(look.period);
    period_->setGeometry(86, 0, 80, 24);
    period_->setFont(PageFont(12));
    period_->addItems({"每天", "每周", "每月"});
    dayLabel_ = AddLabel(*this, look.dayLabel, look.dayLabels[0], 180, 0, 70, 24);
    days_ = AddEdit<CDataEdit>(*this, look.days, {250, 0, 190, 24});
    days_->setToolTip(
        "请输入备份具体日期。\n每周备份有效输入：1-7\n每月备份有效输入：1-31\n多个日期以逗号分隔，如：2,3,"
        "18");
    dayUnit_ = AddLabel(*this, look.dayUnit, "号", 444, 0, 20, 24);
    AddLabel(*this, look.timeLabel, look.timeLabelText, 10, 32, 76, 24);
    times_ = AddEdit<CTimeEdit>(*this, look.times, {86, 32, 354, 24});
    times_->setToolTip("请设置具体备份时间，格式为：HH:MM，多个时间使用逗号分隔。\n示例：12:00,8:35");
    connect(period_, &QComboBox::currentIndexChanged, this, &SchedulePicker::OnPeriodChanged);
}

void SchedulePicker::OnPeriodChanged(int index) {
    const bool chosen = index >= 0;
    dayLabel_->setText(look_.dayLabels[static_cast<std::size_t>(std::max(index, 0))]);
    dayUnit_->setVisible(index == 2);
    days_->setReadOnly(index <= 0);
    times_->setReadOnly(!chosen);
    if (chosen && !times_->text().contains(':')) {
        times_->setText(loadedTimes_.find(':') != std::string::npos ? TimeFieldText(loadedTimes_)
                                                                    : QString(kDefaultTime));
    }
}

void SchedulePicker::SetDefaults() {
    loadedTimes_.clear();
    loadedPeriod_ = kDaily;
    days_->clear();
    times_->setText(kDefaultTime);
    period_->setCurrentIndex(-1);
    period_->setCurrentIndex(0);
}

void SchedulePicker::Load(const TaskInfo& task) {
    loadedTimes_ = task.times;
    loadedPeriod_ = task.period;
    days_->setText(DayFieldText(task.days, task.period));
    times_->setText(TimeFieldText(task.times));
    const bool knownPeriod = task.period >= kDaily && task.period <= kMonthly;
    period_->setCurrentIndex(-1);
    OnPeriodChanged(-1);
    if (task.HasFlag(kTaskScheduled) && knownPeriod) period_->setCurrentIndex(task.period - 1);
}

void SchedulePicker::Gather(TaskInfo& task) const {
    const int index = period_->currentIndex();
    if (index >= 0) {
        task.flags |= kTaskScheduled;
        task.period = index + 1;
    } else {
        task.flags &= ~kTaskScheduled;
        task.period = loadedPeriod_;
    }
    task.days = DayFieldDays(days_->text(), task.period);
    task.times = TimeFieldTimes(times_->text());
}

QString SchedulePicker::TimeFault() const {
    return period_->currentIndex() >= 0 ? TimeFieldFault(times_->text()) : QString();
}

}  // namespace zov::gui
