#include "gui/dialogs/UnmarkedPrompt.h"

#include <QPushButton>

#include "gui/kit/AppTitle.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz {

UnmarkedPolicy::Choice UnmarkedPrompt::AskAboutUnmarked(const std::string& path) {
  auto box = PlainMessageBox(QMessageBox::Question, QString::fromUtf8(kAppTitle),
                             QStringLiteral("ファイル %1 には、状態の印 (0、1、;) "
                                            "で始まる行が一つもありません。単語ファイルではないようです。\n"
                                            "このまま出題すると、各行の最初の文字が印で上書きされます。\n\n"
                                            "新しい単語ファイルに変換して開きますか？")
                                 .arg(codec::FromFsName(path)),
                             parent_, QMessageBox::NoButton);
  QPushButton* convert = box->addButton(QStringLiteral("変換して開く"), QMessageBox::AcceptRole);
  convert->setObjectName("ConvertBtn");
  QPushButton* asIs = box->addButton(QStringLiteral("そのまま使う"), QMessageBox::DestructiveRole);
  asIs->setObjectName("AsIsBtn");
  QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  cancel->setObjectName("CancelBtn");
  box->setDefaultButton(convert);
  box->setEscapeButton(cancel);
  ExecModal(*box);
  if (box->clickedButton() == convert) return Choice::Convert;
  if (box->clickedButton() == asIs) return Choice::AsIs;
  return Choice::Cancel;
}

}  // namespace vz
