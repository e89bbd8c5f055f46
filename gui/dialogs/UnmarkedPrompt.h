#pragma once
// The window's question about a loaded file that has lines but not one state
// mark, asked for the word-file session in a plain box.
#include <string>

#include "core/session/UnmarkedPolicy.h"

class QWidget;

namespace vz {

class UnmarkedPrompt : public UnmarkedPolicy {
 public:
  // The box is shown over `parent`; nullptr centres it on the screen.
  explicit UnmarkedPrompt(QWidget* parent) : parent_(parent) {}

  // Asks whether to convert the file at `path` (file-system bytes) to a new
  // word file beside it, use it as it is, or leave it.
  Choice AskAboutUnmarked(const std::string& path) override;

 private:
  QWidget* parent_;
};

}  // namespace vz
