#pragma once
// Days as the learner lives them: calendar days of the local time zone,
// counted from 1970-01-01. A judgement keeps the day it was made on, so a
// later change of time zone does not move it.
#include <chrono>
#include <string>

namespace vz::records {

using WallClock = std::chrono::system_clock;

// The local day of `t`.
int LocalDay(WallClock::time_point t);
// "2026-05-03" for a day.
std::string DayText(int day);
// The Monday on or before `day` (weeks start on Monday).
inline int WeekStart(int day) { return day - ((day + 3) % 7 + 7) % 7; }

}  // namespace vz::records
