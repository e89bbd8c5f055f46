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
  connect(pages_, &QTabWidget::currentChanged, this, [this](int index) { Guard([&] { BuildPage(index); }); });
  Show({file_});
  connect(scopeBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    Guard([&] { Show(file_ && index == 0 ? records::Scope{file_} : records::Scope{}); });
  });
}

void RecordsWindow::Show(records::Scope scope) {
  const int current = std::max(pages_->currentIndex(), 0);
  while (pages_->count()) {
    QWidget* page = pages_->widget(0);
    pages_->removeTab(0);
    delete page;
  }
  builders_.clear();
  // Each page is made when it is first shown: opening costs one chart.
  const int yearAgo = today_ - 364;
  auto page = [&](const QString& title, std::function<QWidget*()> build) {
    auto* holder = new QWidget;
    new QVBoxLayout(holder);
    pages_->addTab(holder, title);
    builders_.push_back(std::move(build));
  };
  page(QStringLiteral("過去30日"), [=, this] { return DaysChart(reader_.Days(scope, today_ - 29, today_)); });
  page(QStringLiteral("過去1年"), [=, this] { return YearChart(reader_.Days(scope, yearAgo, today_)); });
  page(QStringLiteral("週ごとの正答率"),
       [=, this] { return WeeksChart(reader_.Weeks(scope, today_ - 7 * 51, today_)); });
  page(QStringLiteral("解答時間"), [=, this] { return TimesChart(reader_.Timings(scope)); });
  page(QStringLiteral("覚えた単語"),
       [=, this] { return MasteredChart(yearAgo, reader_.Mastered(scope, yearAgo, today_)); });
  page(QStringLiteral("間違いの多い単語"), [=, this] {
    auto* hardest = new HardestPage(reader_.Hardest(scope, kHardestShown), saveDir_);
    hardest->setObjectName("HardestPage");
    return hardest;
  });
  pages_->setCurrentIndex(current);
  BuildPage(current);
}

void RecordsWindow::BuildPage(int index) {
  if (index < 0 || std::size_t(index) >= builders_.size() || !builders_[std::size_t(index)]) return;
  const auto build = std::exchange(builders_[std::size_t(index)], nullptr);
  pages_->widget(index)->layout()->addWidget(build());
}

void ExecRecordsWindow(QWidget* parent, const std::string& dbPath, const std::string& wordFile) {
  RecordsWindow window(parent, dbPath, wordFile, records::LocalDay(records::WallClock::now()));
  ExecModal(window);
}

}  // namespace vz::stats
