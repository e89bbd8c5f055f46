#include "gui/stats/RecordsWindow.h"

#include <QChartView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/records/Calendar.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"
#include "gui/stats/Charts.h"
#include "gui/stats/HardestPage.h"

namespace vz::stats {
namespace {

// How many of the hardest words the window lists.
constexpr int kHardestShown = 100;

QWidget* Page(std::initializer_list<QWidget*> charts) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  for (QWidget* c : charts) layout->addWidget(c);
  return page;
}

}  // namespace

RecordsWindow::RecordsWindow(QWidget* parent, const std::string& dbPath, const std::string& wordFile,
                             int today)
    : QDialog(parent), reader_(dbPath), file_(reader_.FileOf(wordFile)), today_(today) {
  setObjectName("RecordsWindow");
  setWindowTitle(QStringLiteral("学習の記録"));
  saveDir_ = wordFile.substr(0, wordFile.rfind('/') + 1);
  scopeBox_ = new QComboBox(this);
  scopeBox_->setObjectName("ScopeBox");
  scopeBox_->setAccessibleName(QStringLiteral("対象"));
  const QString name = codec::FromFsName(wordFile.substr(wordFile.rfind('/') + 1));
  if (file_) scopeBox_->addItem(QStringLiteral("単語ファイル %1").arg(name));
  scopeBox_->addItem(QStringLiteral("全ての単語ファイル"));
  auto* scopeLabel = new QLabel(QStringLiteral("対象(&T):"), this);
  scopeLabel->setBuddy(scopeBox_);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("Pages");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* top = new QHBoxLayout;
  top->addWidget(scopeLabel);
  top->addWidget(scopeBox_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(pages_, 1);
  layout->addWidget(buttons);
  resize(780, 560);
  Show({file_});
  connect(scopeBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    Guard([&] { Show(file_ && index == 0 ? records::Scope{file_} : records::Scope{}); });
  });
}

void RecordsWindow::Show(records::Scope scope) {
  const int current = pages_->currentIndex();
  while (pages_->count()) {
    QWidget* page = pages_->widget(0);
    pages_->removeTab(0);
    delete page;
  }
  const int yearAgo = today_ - 364;
  const auto year = reader_.Days(scope, yearAgo, today_);
  const std::vector<records::DayCounts> month(year.end() - 30, year.end());
  pages_->addTab(Page({DaysChart(month), YearChart(year)}), QStringLiteral("日ごとの解答"));
  pages_->addTab(Page({WeeksChart(reader_.Weeks(scope, today_ - 7 * 51, today_))}),
                 QStringLiteral("週ごとの正答率"));
  pages_->addTab(Page({TimesChart(reader_.Timings(scope))}), QStringLiteral("解答時間"));
  pages_->addTab(Page({MasteredChart(yearAgo, reader_.Mastered(scope, yearAgo, today_))}),
                 QStringLiteral("覚えた単語"));
  auto* hardest = new HardestPage(reader_.Hardest(scope, kHardestShown), saveDir_);
  hardest->setObjectName("HardestPage");
  pages_->addTab(hardest, QStringLiteral("間違いの多い単語"));
  pages_->setCurrentIndex(std::max(current, 0));
}

void ExecRecordsWindow(QWidget* parent, const std::string& dbPath, const std::string& wordFile) {
  RecordsWindow window(parent, dbPath, wordFile, records::LocalDay(records::WallClock::now()));
  ExecModal(window);
}

}  // namespace vz::stats
