#pragma once

#include <QString>
#include <string>

#include "engine/tasks/TaskInfo.h"

// The schedule fields of the task editors: the day field (days of the week or month) and the time field.
namespace zov::gui {

// The days a day field shows: weekly the set bits of Monday (1) .. Sunday (7), monthly every set day 1..31,
// daily none; joined with ','.
QString DayFieldText(const DaySet& days, int period);
// The days of a typed day field: daily all 31; weekly or monthly each number n in 1..7 or 1..31 sets bit
// n-1, other items are dropped.
DaySet DayFieldDays(const QString& text, int period);

// The times a time field shows: the stored times (separated by blanks, ',' or "，") joined with ','.
QString TimeFieldText(const std::string& times);
// The stored times of a typed time field: the valid times once each (CheckTimeList), "01:00" when none is
// left, separated by blanks.
std::string TimeFieldTimes(const QString& text);
// Why a typed time field cannot be saved: "备份时间“25:99”无效" naming each item that is no time of day; ""
// when every item is one.
QString TimeFieldFault(const QString& text);

}  // namespace zov::gui
