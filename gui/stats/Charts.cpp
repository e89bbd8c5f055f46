#include "gui/stats/Charts.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>

#include "gui/kit/Fonts.h"

namespace vz::stats {
namespace {

const QColor kCorrect(0x2e, 0x8b, 0x57), kWrong(0xd9, 0x4f, 0x3d), kTimeOut(0x80, 0x80, 0x80);

QDateTime Noon(int day) { return QDateTime(QDate(1970, 1, 1).addDays(day), QTime(12, 0)); }

// A chart in a view, with the program's Japanese face at sizes that read at
// any scale, drawn once into an image that paint events only show.
QChartView* ViewOf(QChart* chart, const char* name, const QString& title, const QString& summary) {
  chart->setTitle(title);
  chart->setTitleFont(UiFont(15));
  chart->legend()->setFont(UiFont(12));
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
  for (QAbstractAxis* axis : chart->axes()) axis->setLabelsFont(UiFont(11));
  auto* view = new QChartView(chart);
  view->setObjectName(QString::fromLatin1(name));
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(320, 220);
  view->setAccessibleName(title);
  view->setAccessibleDescription(summary);
  return view;
}

QValueAxis* CountAxis(QChart* chart, double max, const QString& title = QStringLiteral("解答数")) {
  auto* axis = new QValueAxis;
  axis->setRange(0, std::max(max, 1.0));
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->setTitleText(title);
  axis->setTitleFont(UiFont(12));
  axis->applyNiceNumbers();
  chart->addAxis(axis, Qt::AlignLeft);
  return axis;
}

QDateTimeAxis* DateAxis(QChart* chart, int from, int to, const QString& format) {
  auto* axis = new QDateTimeAxis;
  axis->setFormat(format);
  axis->setRange(Noon(from), Noon(to));
  axis->setTickCount(7);
  chart->addAxis(axis, Qt::AlignBottom);
  return axis;
}

records::Counts Total(const std::vector<records::DayCounts>& days) {
  records::Counts t;
  for (const auto& d : days) {
    t.correct += d.counts.correct;
    t.wrong += d.counts.wrong;
    t.timeouts += d.counts.timeouts;
  }
  return t;
}

QString AnswersText(const records::Counts& c) {
  return QStringLiteral("解答 %1 (正解 %2、不正解 %3、時間切れ %4)")
      .arg(c.Judged())
      .arg(c.correct)
      .arg(c.wrong)
      .arg(c.timeouts);
}

// "練習した日 N 日、解答 ...。最も多い日: ...".
QString DaysSummary(const QString& span, const std::vector<records::DayCounts>& days) {
  const auto practised =
      std::count_if(days.begin(), days.end(), [](auto& d) { return d.counts.Judged() > 0; });
  QString text =
      span + QStringLiteral(": 練習した日 %1 日、").arg(practised) + AnswersText(Total(days)) + "。";
  const auto most = std::max_element(days.begin(), days.end(),
                                     [](auto& a, auto& b) { return a.counts.Judged() < b.counts.Judged(); });
  if (most != days.end() && most->counts.Judged() > 0)
    text += QStringLiteral("最も多い日: %1 (%2)。").arg(DayLabel(most->day)).arg(most->counts.Judged());
  return text;
}

}  // namespace

QString DayLabel(int day) {
  const QDate d = QDate(1970, 1, 1).addDays(day);
  return QStringLiteral("%1月%2日").arg(d.month()).arg(d.day());
}

QChartView* DaysChart(const std::vector<records::DayCounts>& days) {
  auto* chart = new QChart;
  auto* series = new QStackedBarSeries;
  auto* correct = new QBarSet(QStringLiteral("正解"));
  auto* wrong = new QBarSet(QStringLiteral("不正解"));
  auto* timeouts = new QBarSet(QStringLiteral("時間切れ"));
  // A label under every fifth bar and the last: one under each would not
  // fit at any scale.
  auto* x = new QCategoryAxis;
  x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  x->setRange(-0.5, double(days.size()) - 0.5);
  double max = 0;
  for (std::size_t i = 0; i < days.size(); ++i) {
    const auto& d = days[i];
    *correct << double(d.counts.correct);
    *wrong << double(d.counts.wrong);
    *timeouts << double(d.counts.timeouts);
    const QDate date = QDate(1970, 1, 1).addDays(d.day);
    if ((days.size() - 1 - i) % 5 == 0)
      x->append(QStringLiteral("%1/%2").arg(date.month()).arg(date.day()), double(i));
    max = std::max(max, double(d.counts.Judged()));
  }
  correct->setColor(kCorrect);
  wrong->setColor(kWrong);
  timeouts->setColor(kTimeOut);
  series->append({correct, wrong, timeouts});
  chart->addSeries(series);
  if (!days.empty())
    x->setTitleText(DayLabel(days.front().day) + QStringLiteral("〜") + DayLabel(days.back().day));
  x->setTitleFont(UiFont(12));
  chart->addAxis(x, Qt::AlignBottom);
  series->attachAxis(x);
  series->attachAxis(CountAxis(chart, max));
  return ViewOf(chart, "DaysChart", QStringLiteral("日ごとの解答 (過去30日)"),
                DaysSummary(QStringLiteral("過去30日"), days));
}

QChartView* YearChart(const std::vector<records::DayCounts>& days) {
  auto* chart = new QChart;
  const std::pair<QString, QColor> kinds[] = {{QStringLiteral("正解"), kCorrect},
                                              {QStringLiteral("不正解"), kWrong},
                                              {QStringLiteral("時間切れ"), kTimeOut}};
  QLineSeries* below = nullptr;
  std::vector<double> base(days.size(), 0.0);
  QAreaSeries* areas[3] = {};
  for (int k = 0; k < 3; ++k) {
    auto* above = new QLineSeries(chart);  // the area series does not own its edges
    for (std::size_t i = 0; i < days.size(); ++i) {
      const auto& c = days[i].counts;
      base[i] += double(k == 0 ? c.correct : k == 1 ? c.wrong : c.timeouts);
      above->append(double(Noon(days[i].day).toMSecsSinceEpoch()), base[i]);
    }
    areas[k] = new QAreaSeries(above, below);
    areas[k]->setName(kinds[k].first);
    areas[k]->setColor(kinds[k].second);
    areas[k]->setBorderColor(kinds[k].second);
    chart->addSeries(areas[k]);
    below = above;
  }
  const double max = base.empty() ? 0 : *std::max_element(base.begin(), base.end());
  QDateTimeAxis* x = DateAxis(chart, days.front().day, days.back().day, QStringLiteral("yyyy/M"));
  QValueAxis* y = CountAxis(chart, max);
  for (QAreaSeries* a : areas) a->attachAxis(x), a->attachAxis(y);
  return ViewOf(chart, "YearChart", QStringLiteral("日ごとの解答 (過去1年)"),
                DaysSummary(QStringLiteral("過去1年"), days));
}

QChartView* WeeksChart(const std::vector<records::DayCounts>& weeks) {
  auto* chart = new QChart;
  auto* series = new QLineSeries;
  series->setName(QStringLiteral("正答率"));
  series->setPointsVisible(true);
  QString last, best;
  double bestRate = -1;
  for (const auto& w : weeks) {
    if (w.counts.Judged() == 0) continue;
    const double rate = 100.0 * double(w.counts.correct) / double(w.counts.Judged());
    series->append(double(Noon(w.day).toMSecsSinceEpoch()), rate);
    last = QStringLiteral("%1の週 %2%").arg(DayLabel(w.day)).arg(rate, 0, 'f', 1);
    if (rate > bestRate) bestRate = rate, best = last;
  }
  chart->addSeries(series);
  series->attachAxis(DateAxis(chart, weeks.front().day, weeks.back().day + 6, QStringLiteral("yyyy/M/d")));
  QValueAxis* y = CountAxis(chart, 100, QStringLiteral("正答率 (%)"));
  y->setRange(0, 100);
  series->attachAxis(y);
  const QString summary =
      last.isEmpty() ? QStringLiteral("週ごとの正答率: この期間の解答はありません。")
                     : QStringLiteral("週ごとの正答率: 最近は %1、最も高いのは %2。").arg(last, best);
  return ViewOf(chart, "WeeksChart", QStringLiteral("週ごとの正答率"), summary);
}

QChartView* TimesChart(const std::array<records::TimeBucket, records::kTimeBuckets>& buckets) {
  auto* chart = new QChart;
  auto* series = new QStackedBarSeries;
  auto* correct = new QBarSet(QStringLiteral("正解"));
  auto* missed = new QBarSet(QStringLiteral("不正解・時間切れ"));
  QStringList labels, parts;
  double max = 0;
  for (std::size_t b = 0; b < buckets.size(); ++b) {
    *correct << double(buckets[b].correct);
    *missed << double(buckets[b].missed);
    const QString label = b + 1 < buckets.size() ? QStringLiteral("%1〜%2%").arg(b * 10).arg(b * 10 + 10)
                                                 : QStringLiteral("時間切れ");
    labels << label;
    parts << QStringLiteral("%1 %2").arg(label).arg(buckets[b].correct + buckets[b].missed);
    max = std::max(max, double(buckets[b].correct + buckets[b].missed));
  }
  correct->setColor(kCorrect);
  missed->setColor(kWrong);
  series->append({correct, missed});
  chart->addSeries(series);
  auto* x = new QBarCategoryAxis;
  x->append(labels);
  x->setTitleText(QStringLiteral("制限時間に対する解答時間"));
  x->setTitleFont(UiFont(12));
  chart->addAxis(x, Qt::AlignBottom);
  series->attachAxis(x);
  series->attachAxis(CountAxis(chart, max));
  return ViewOf(chart, "TimesChart", QStringLiteral("解答時間の分布"),
                QStringLiteral("制限時間に対する解答時間の分布: ") + parts.join(QStringLiteral("、")) + "。");
}

QChartView* MasteredChart(int from, const std::vector<std::int64_t>& mastered) {
  auto* chart = new QChart;
  auto* series = new QLineSeries;
  series->setName(QStringLiteral("覚えた単語"));
  for (std::size_t i = 0; i < mastered.size(); ++i)
    series->append(double(Noon(from + int(i)).toMSecsSinceEpoch()), double(mastered[i]));
  chart->addSeries(series);
  chart->legend()->hide();
  const double max = mastered.empty() ? 0 : double(*std::max_element(mastered.begin(), mastered.end()));
  series->attachAxis(DateAxis(chart, from, from + int(mastered.size()) - 1, QStringLiteral("yyyy/M")));
  series->attachAxis(CountAxis(chart, max, QStringLiteral("語数")));
  const std::int64_t now = mastered.empty() ? 0 : mastered.back();
  return ViewOf(chart, "MasteredChart", QStringLiteral("覚えた単語 (3回続けて一度で正解)"),
                QStringLiteral("覚えた単語: 現在 %1 語、%2には %3 語。")
                    .arg(now)
                    .arg(DayLabel(from))
                    .arg(mastered.empty() ? 0 : mastered.front()));
}

}  // namespace vz::stats
