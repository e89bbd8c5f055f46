#pragma once
// The open dialog for word files (`OpenDialog1`): one for the whole run, so
// it keeps the filter chosen last; from its second showing on, its name box
// holds the file chosen last, so it opens in that file's folder.
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace vz {

class WordFileDialog {
 public:
  explicit WordFileDialog(QWidget* owner) : owner_(owner) {}

  // Shows the dialog modally (made at the first call, in the folder
  // `firstDir`) and returns the chosen file as file-system bytes, or nothing
  // when the user cancels.
  std::optional<std::string> Choose(const std::string& firstDir);
  // The dialog starts from `path` next time, as after a choice of it.
  void Remember(const std::string& path);

 private:
  QWidget* owner_;
  QFileDialog* dialog_ = nullptr;  // owned by owner_
  bool shownBefore_ = false;
  std::string lastChosen_;
};

}  // namespace vz
