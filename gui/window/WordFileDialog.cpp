#include "gui/window/WordFileDialog.h"

#include <QFileDialog>
#include <filesystem>

#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"

namespace vz {
namespace {

// The open dialog gives names as text, in which a name that is not valid
// UTF-8 shows with U+FFFD and does not come back from it. Such a choice is
// found again as bytes among its directory's entries, when exactly one of
// them shows as that text. (The directory part must be valid UTF-8: Qt
// keeps no bytes of it either.)
std::string ChosenPath(const QString& chosen) {
  std::string path = codec::ToFsName(chosen);
  if (!chosen.contains(QChar::ReplacementCharacter)) return path;
  const std::string dir = std::filesystem::path(path).remove_filename().native();
  const QString name = chosen.mid(chosen.lastIndexOf(QLatin1Char('/')) + 1);
  std::string found;
  int matches = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir.empty() ? "." : dir, ec)) {
    const std::string entry = e.path().filename().native();
    if (codec::FromFsName(entry) == name && ++matches == 1) found = dir + entry;
  }
  return matches == 1 ? found : path;
}

}  // namespace

std::optional<std::string> WordFileDialog::Choose(const std::string& firstDir) {
  if (!dialog_) {
    dialog_ = new QFileDialog(owner_);
    dialog_->setFileMode(QFileDialog::AnyFile);
    dialog_->setAcceptMode(QFileDialog::AcceptOpen);
    dialog_->setNameFilters(
        {QStringLiteral("全てのファイル (*)"), QStringLiteral("テキストファイル(*.txt) (*.txt)")});
    dialog_->setDirectory(codec::FromFsName(firstDir));
  }
  if (shownBefore_) dialog_->selectFile(codec::FromFsName(lastChosen_));
  shownBefore_ = true;
  if (ExecModal(*dialog_) != QDialog::Accepted || dialog_->selectedFiles().isEmpty()) return std::nullopt;
  lastChosen_ = ChosenPath(dialog_->selectedFiles().first());
  return lastChosen_;
}

void WordFileDialog::Remember(const std::string& path) {
  lastChosen_ = path;
  shownBefore_ = true;
}

}  // namespace vz
