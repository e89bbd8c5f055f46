#include "gui/stats/HardestPage.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/records/Calendar.h"
#include "core/records/Export.h"
#include "core/text/TextCut.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz::stats {
namespace {

// A cell shows the start of a text: a line of megabytes is laid out no
// more than any other.
constexpr std::size_t kShownBytes = 512;

QTableWidgetItem* TextItem(const std::string& bytes, codec::Encoding enc) {
  return new QTableWidgetItem(codec::FromBytes(enc, codec::Head(bytes, kShownBytes, enc)));
}

QTableWidgetItem* NumberItem(std::int64_t n) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::DisplayRole, qlonglong(n));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

HardestPage::HardestPage(std::vector<records::HardWord> words, std::string saveDir, QWidget* parent)
    : QWidget(parent), words_(std::move(words)), saveDir_(std::move(saveDir)) {
  table_ = new QTableWidget(int(words_.size()), 7, this);
  table_->setObjectName("HardestTable");
  table_->setAccessibleName(QStringLiteral("間違いの多い単語"));
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("問題"), QStringLiteral("答え"), QStringLiteral("間違い計"), QStringLiteral("不正解"),
       QStringLiteral("時間切れ"), QStringLiteral("正解"), QStringLiteral("最後")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  for (int r = 0; r < int(words_.size()); ++r) {
    const records::HardWord& w = words_[std::size_t(r)];
    QTableWidgetItem* question = TextItem(w.question, w.encoding);
    question->setData(Qt::UserRole, r);
    table_->setItem(r, 0, question);
    table_->setItem(r, 1, TextItem(w.answers, w.encoding));
    table_->setItem(r, 2, NumberItem(w.wrong + w.timeouts));
    table_->setItem(r, 3, NumberItem(w.wrong));
    table_->setItem(r, 4, NumberItem(w.timeouts));
    table_->setItem(r, 5, NumberItem(w.correct));
    table_->setItem(r, 6, new QTableWidgetItem(QString::fromStdString(records::DayText(w.lastDay))));
  }
  // As the records give them: most misses first (the sort keeps ties in
  // their order, the latest first).
  table_->horizontalHeader()->setSortIndicator(2, Qt::DescendingOrder);
  table_->setSortingEnabled(true);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);

  exportBtn_ = new QPushButton(QStringLiteral("新しい単語ファイルに書き出す(&W)..."), this);
  exportBtn_->setObjectName("ExportBtn");
  exportBtn_->setEnabled(!words_.empty());
  connect(exportBtn_, &QPushButton::clicked, this, [this] { Guard([&] { ExportBtnClick(); }); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(exportBtn_, 0, Qt::AlignRight);
}

std::vector<records::HardWord> HardestPage::Shown() const {
  std::vector<records::HardWord> shown;
  for (int r = 0; r < table_->rowCount(); ++r)
    shown.push_back(words_[std::size_t(table_->item(r, 0)->data(Qt::UserRole).toInt())]);
  return shown;
}

void HardestPage::ExportBtnClick() {
  QFileDialog dlg(this, QStringLiteral("間違いの多い単語を書き出す"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilters(
      {QStringLiteral("テキストファイル(*.txt) (*.txt)"), QStringLiteral("全てのファイル (*)")});
  dlg.setDirectory(codec::FromFsName(saveDir_));
  dlg.selectFile(QStringLiteral("間違いの多い単語.txt"));
  if (ExecModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  ExportTo(codec::ToFsName(dlg.selectedFiles().first()));
}

void HardestPage::ExportTo(const std::string& target) {
  const import::Summary s = records::ExportWords(Shown(), target);
  QString text =
      QStringLiteral("%1 語を単語ファイル %2 に書き出しました。").arg(s.pairs).arg(codec::FromFsName(target));
  if (s.skipped)
    text += QStringLiteral("\n長すぎて記録に一部しか残っていない %1 語は書き出していません。").arg(s.skipped);
  ExecModal(*PlainMessageBox(QMessageBox::Information, QString::fromUtf8(kAppTitle), text, this));
}

}  // namespace vz::stats
