#pragma once
// The one place where what a word-file session did becomes a box: what an
// open converted or could not convert, a file that can never be saved back,
// and a save that left a file alone.
#include <string>

#include "core/session/BusyPolicy.h"
#include "core/session/WordSession.h"

class QWidget;

namespace vz {

// After an open: the records a conversion left out, why a conversion failed,
// and, for an adopted file (the session's `path` now), that it can never be
// saved back, so that no progress is lost without a word. Boxes are shown
// over `parent` (nullptr: centred on the screen).
void TellOpened(QWidget* parent, const WordSession::OpenResult& result, const std::string& path);

// The box for a word file another copy of the program has open: open it
// without saving progress, or cancel.
class SecondCopyBox : public BusyPolicy {
 public:
  explicit SecondCopyBox(QWidget* parent) : parent_(parent) {}
  Choice AskAboutBusy(const std::string& path) override;

 private:
  QWidget* parent_;
};

// After a save over `path` that left a file changed or deleted on disk alone.
void TellSaved(QWidget* parent, WordList::SaveResult result, const std::string& path);

}  // namespace vz
