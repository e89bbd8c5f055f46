#include "core/records/Calendar.h"

#include <cstdio>
#include <ctime>

namespace vz::records {

int LocalDay(WallClock::time_point t) {
  const std::time_t secs = WallClock::to_time_t(t);
  std::tm local{};
  ::localtime_r(&secs, &local);
  const std::chrono::year_month_day ymd{std::chrono::year(local.tm_year + 1900),
                                        std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                        std::chrono::day(static_cast<unsigned>(local.tm_mday))};
  return std::chrono::sys_days(ymd).time_since_epoch().count();
}

std::string DayText(int day) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days(std::chrono::days(day))};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return text;
}

}  // namespace vz::records
