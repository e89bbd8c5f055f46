#pragma once
// The charts of the records window, each in a view of its own that carries
// its title as accessible name and a summary of what it shows, in words, as
// accessible description (what a screen reader says of it). The points are
// bounded whatever the records hold: a year of days at most.
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "core/records/Stats.h"

class QChartView;

namespace vz::stats {

// Answers per day (correct, wrong and time-out stacked): as bars for a
// month, as areas for a year.
QChartView* DaysChart(const std::vector<records::DayCounts>& days);
QChartView* YearChart(const std::vector<records::DayCounts>& days);
// The share of right answers in each week that has answers.
QChartView* WeeksChart(const std::vector<records::DayCounts>& weeks);
// Answers by the share of the time limit they took, and the time-outs.
QChartView* TimesChart(const std::array<records::TimeBucket, records::kTimeBuckets>& buckets);
// Lines mastered at the end of each day from `from`.
QChartView* MasteredChart(int from, const std::vector<std::int64_t>& mastered);

// "M月d日" for a day.
QString DayLabel(int day);

}  // namespace vz::stats
