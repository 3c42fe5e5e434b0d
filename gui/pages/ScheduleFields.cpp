#include "gui/pages/ScheduleFields.h"

#include <QStringList>
#include <algorithm>
#include <vector>

#include "engine/tasks/Schedule.h"

namespace zov::gui {

namespace {

constexpr const char* kDefaultTime = "01:00";

int LastDay(int period) {
    switch (period) {
        case kWeekly:
            return 7;
        case kMonthly:
            return 31;
        default:
            return 0;
    }
}

}  // namespace

QString DayFieldText(const DaySet& days, int period) {
    QStringList numbers;
    for (int day = 1; day <= LastDay(period); ++day) {
        if (days.test(static_cast<std::size_t>(day - 1))) numbers.append(QString::number(day));
    }
    return numbers.join(',');
}

DaySet DayFieldDays(const QString& text, int period) {
    DaySet days;
    if (period == kDaily) return days.set();
    for (const QString& item : text.split(',')) {
        bool number = false;
        const int day = item.trimmed().toInt(&number);
        if (number && day >= 1 && day <= LastDay(period)) days.set(static_cast<std::size_t>(day - 1));
    }
    return days;
}

QString TimeFieldText(const std::string& times) {
    QString text = QString::fromStdString(times);
    text.replace("，", ",").replace(' ', ',');
    return text.split(',', Qt::SkipEmptyParts).join(',');
}

std::string TimeFieldTimes(const QString& text) {
    std::string times = CheckTimeList(text.toStdString());
    if (times.empty()) return kDefaultTime;
    std::replace(times.begin(), times.end(), ',', ' ');
    return times;
}

QString TimeFieldFault(const QString& text) {
    const std::vector<std::string> bad = BadTimeItems(text.toStdString());
    return bad.empty() ? QString() : QString::fromStdString(BadTimesText(bad));
}

}  // namespace zov::gui
