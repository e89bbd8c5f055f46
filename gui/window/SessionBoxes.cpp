#include "gui/window/SessionBoxes.h"

#include <QPushButton>
#include <QStringList>

#include "gui/kit/AppTitle.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz {
namespace {

void TellSkipped(QWidget* parent, const Conversion& c) {
  if (c.skipped == 0) return;
  QStringList lines;
  for (const import::Skipped& skip : c.toldSkips) {
    lines << QStringLiteral("%1 行目: %2").arg(skip.line).arg(QString::fromStdString(skip.why));
  }
  ShowWarning(QStringLiteral("%1 語を %2 に書き込みました。次の %3 件は取り込めませんでした:\n%4")
                  .arg(c.pairs)
                  .arg(codec::FromFsName(c.target))
                  .arg(c.skipped)
                  .arg(lines.join('\n')),
              parent);
}

QString LoadProblemText(WordList::LoadProblem problem) {
  switch (problem) {
    case WordList::LoadProblem::None:
      break;
    case WordList::LoadProblem::CutAtNul:
      return QStringLiteral("途中に NUL 文字があり、そこから先を読み込めませんでした。");
    case WordList::LoadProblem::BrokenUtf16:
      return QStringLiteral("UTF-16 として正しくない部分があり、元のとおりに書き戻せません。");
    case WordList::LoadProblem::UnknownEncoding:
      return QStringLiteral("対応していない文字コード (UTF-32) です。");
  }
  return {};
}

}  // namespace

void TellOpened(QWidget* parent, const WordSession::OpenResult& result, const std::string& path) {
  if (result.conversion) TellSkipped(parent, *result.conversion);
  if (result.conversionError) ShowErrorBox(result.conversionError->what());
  if (result.opened != WordSession::Opened::Adopted || result.problem == WordList::LoadProblem::None) return;
  ShowWarning(QStringLiteral("ファイル %1 は保存できません。\n%2\n解答の記録はこのファイルに保存されません。")
                  .arg(codec::FromFsName(path), LoadProblemText(result.problem)),
              parent);
}

BusyPolicy::Choice SecondCopyBox::AskAboutBusy(const std::string& path) {
  auto box = PlainMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle),
                             QStringLiteral("ファイル %1 は別のウィンドウで開かれています。\n"
                                            "ここで開くと、解答の記録はこのファイルに保存されません。")
                                 .arg(codec::FromFsName(path)),
                             parent_);
  QPushButton* open = box->addButton(QStringLiteral("保存せずに開く"), QMessageBox::AcceptRole);
  open->setObjectName("WithoutSavingBtn");
  QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  cancel->setObjectName("CancelBtn");
  box->setDefaultButton(cancel);
  box->setEscapeButton(cancel);
  ExecModal(*box);
  return box->clickedButton() == open ? Choice::WithoutSaving : Choice::Cancel;
}

void TellSaved(QWidget* parent, WordList::SaveResult result, const std::string& path) {
  QString notice;
  switch (result) {
    case WordList::SaveResult::ChangedOnDisk:
      notice = QStringLiteral("ファイル %1 は別のプログラムによって変更されたため、上書きしませんでした。");
      break;
    case WordList::SaveResult::DeletedOnDisk:
      notice = QStringLiteral("ファイル %1 は削除されていたため、作成し直しませんでした。");
      break;
    case WordList::SaveResult::Saved:
    case WordList::SaveResult::NotOwned:
      return;
  }
  ShowWarning(notice.arg(codec::FromFsName(path)), parent);
}

}  // namespace vz
