#include "gui/dialogs/UnmarkedPrompt.h"

#include <QPushButton>

#include "core/files/Error.h"
#include "core/files/ReadFile.h"
#include "core/import/Import.h"
#include "gui/kit/AppTitle.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz::import {

UnmarkedChoice AskAboutUnmarked(QWidget* parent, const std::string& path) {
  auto box = PlainMessageBox(QMessageBox::Question, QString::fromUtf8(kAppTitle),
                             QStringLiteral("ファイル %1 には、状態の印 (0、1、;) "
                                            "で始まる行が一つもありません。単語ファイルではないようです。\n"
                                            "このまま出題すると、各行の最初の文字が印で上書きされます。\n\n"
                                            "新しい単語ファイルに変換して開きますか？")
                                 .arg(codec::FromFsName(path)),
                             parent);
  QPushButton* convert = box->addButton(QStringLiteral("変換して開く"), QMessageBox::AcceptRole);
  convert->setObjectName("ConvertBtn");
  QPushButton* asIs = box->addButton(QStringLiteral("そのまま使う"), QMessageBox::DestructiveRole);
  asIs->setObjectName("AsIsBtn");
  QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  cancel->setObjectName("CancelBtn");
  box->setDefaultButton(convert);
  box->setEscapeButton(cancel);
  ExecModal(*box);
  if (box->clickedButton() == convert) return UnmarkedChoice::Convert;
  if (box->clickedButton() == asIs) return UnmarkedChoice::AsIs;
  return UnmarkedChoice::Cancel;
}

std::string ConvertBeside(QWidget* parent, const std::string& source) {
  constexpr int kNames = 100;
  std::string target = DefaultTarget(source);
  const std::string stem = target.substr(0, target.size() - 4);  // without ".txt"
  for (int n = 2; n <= kNames && StampOf(target).exists; ++n)
    target = stem + "-" + std::to_string(n) + ".txt";
  QStringList skipped;
  const Summary s = ImportFile(source, target, {}, [&](const Skipped& skip) {
    constexpr int kShown = 10;
    if (skipped.size() < kShown)
      skipped << QStringLiteral("%1 行目: %2").arg(skip.line).arg(QString::fromStdString(skip.why));
  });
  if (s.skipped > 0) {
    ExecModal(
        *PlainMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle),
                         QStringLiteral("%1 語を %2 に書き込みました。次の %3 件は取り込めませんでした:\n%4")
                             .arg(s.pairs)
                             .arg(codec::FromFsName(target))
                             .arg(s.skipped)
                             .arg(skipped.join('\n')),
                         parent));
  }
  return target;
}

}  // namespace vz::import
