#include "core/session/WordSession.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/files/Locations.h"
#include "core/files/ReadFile.h"
#include "core/import/Import.h"

namespace vz {

namespace fs = std::filesystem;

WordSession::OpenResult WordSession::Open(const std::string& given, UnmarkedPolicy& policy, Source source,
                                          BusyPolicy* busy) {
  const bool atStartUp = source != Source::Chosen;
  OpenResult result;
  std::unique_ptr<WriterLock> lock;
  if (source == Source::Remembered) {
    if (!StampOf(given).exists) {
      if (!Lock(given, busy, lock)) {
        Disown(given);
        result.opened = Opened::Disowned;
        return result;
      }
      lock_ = std::move(lock);
      list_ = WordList();
      list_.BindAbsent(given);
      result.opened = Opened::Absent;
      return result;
    }
    std::error_code ec;
    if (!IsRegularFile(given) && fs::is_directory(given, ec)) {
      Disown(given);
      result.opened = Opened::Disowned;
      return result;
    }
  }
  std::string path = given;
  WordList fresh;
  try {
    if (source == Source::StartFile) path = AbsolutePath(given);
    fresh.Load(path);
  } catch (const Error&) {
    if (atStartUp) Disown(path);
    throw;
  }
  if (!Accept(path, fresh, policy, result) || !Lock(fresh.Path(), busy, lock)) {
    if (!atStartUp) return result;  // cancelled: the current file stays
    Disown(path);
    result.opened = Opened::Disowned;
    return result;
  }
  lock_ = std::move(lock);
  list_ = std::move(fresh);
  result.opened = Opened::Adopted;
  result.problem = list_.Problem();
  return result;
}

bool WordSession::Accept(const std::string& path, WordList& fresh, UnmarkedPolicy& policy,
                         OpenResult& result) {
  if (!import::LooksUnmarked(fresh)) return true;
  switch (policy.AskAboutUnmarked(path)) {
    case UnmarkedPolicy::Choice::AsIs:
      return true;
    case UnmarkedPolicy::Choice::Cancel:
      return false;
    case UnmarkedPolicy::Choice::Convert:
      break;
  }
  // The list loaded from the new word file stands for that file.
  try {
    result.conversion = ConvertBeside(path);
    fresh.Load(result.conversion->target);
  } catch (const Error& e) {
    result.conversionError = e;
    return false;
  }
  return true;
}

bool WordSession::Lock(const std::string& path, BusyPolicy* busy, std::unique_ptr<WriterLock>& lock) {
  if (lock_ && lock_->Guards(path)) {  // the file this session holds already
    lock = std::move(lock_);
    return true;
  }
  lock = std::make_unique<WriterLock>(path, WriterLock::Wait::kNever);
  if (lock->Held()) return true;
  lock.reset();
  return busy == nullptr || busy->AskAboutBusy(path) == BusyPolicy::Choice::WithoutSaving;
}

void WordSession::Disown(const std::string& path) {
  lock_.reset();
  list_ = WordList();
  list_.Disown(path);
}

std::string WordSession::Dir() const { return fs::path(Path()).remove_filename().native(); }

std::string WordSession::Name() const { return fs::path(Path()).filename().native(); }

}  // namespace vz
