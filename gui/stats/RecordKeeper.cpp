#include "gui/stats/RecordKeeper.h"

#include <QWidget>

#include "core/files/Locations.h"
#include "gui/kit/AppTitle.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Modal.h"
#include "gui/kit/QtText.h"
#include "gui/stats/RecordsWindow.h"

namespace vz::stats {
namespace {

// Records know a word file by its absolute path; one the working directory
// cannot name stays as given.
std::string Absolute(const std::string& path) {
  try {
    return AbsolutePath(path);
  } catch (const Error&) {
    return path;
  }
}

}  // namespace

RecordKeeper::RecordKeeper(QWidget* window, std::string dbPath, bool keep)
    : QObject(window), window_(window), dbPath_(std::move(dbPath)) {
  if (!keep) return;
  // The recorder's thread asks for the box; the quiz's thread shows it.
  recorder_ = std::make_unique<records::Recorder>(dbPath_, [this] {
    QMetaObject::invokeMethod(
        this, [this] { Guard([&] { TellFault(); }); }, Qt::QueuedConnection);
  });
}

RecordKeeper::~RecordKeeper() = default;

void RecordKeeper::SetWordFile(const std::string& path) {
  if (recorder_) recorder_->SetWordFile(Absolute(path));
}

void RecordKeeper::WordFileSaved() {
  if (recorder_) recorder_->WordFileSaved();
}

void RecordKeeper::Close() {
  if (!recorder_) return;
  recorder_->Close();
  TellFault();
}

void RecordKeeper::TellFault() {
  if (!recorder_) return;
  if (const auto fault = recorder_->TakeFault()) {
    ExecModal(*PlainMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle), codec::FromMessage(*fault),
                               window_->isVisible() ? window_ : nullptr));
  }
}

void RecordKeeper::OpenWindow(const std::string& wordFile) {
  // The window shows every outcome so far: the last one may still be on its way.
  if (recorder_) recorder_->Flush();
  ExecRecordsWindow(window_, dbPath_, Absolute(wordFile));
}

}  // namespace vz::stats
