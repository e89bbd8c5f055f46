#pragma once
// One word-file session: the word list and the one file it stands for. Every
// way of opening a word file goes through Open (the remembered file at
// start-up, the file named on the command line, a choice in the open dialog);
// each says what became of the file, and saving says why it declined. The
// caller turns the results into what the user is told.
#include <memory>
#include <optional>
#include <string>

#include "core/files/Error.h"
#include "core/files/WriterLock.h"
#include "core/session/BusyPolicy.h"
#include "core/session/Conversion.h"
#include "core/session/UnmarkedPolicy.h"
#include "core/wordlist/WordList.h"

namespace vz {

class WordSession {
 public:
  // Where a file to open comes from. At start-up (the first two) the session
  // holds no file yet: a file it cannot use is still its file then, disowned,
  // so it is never written over and its name is remembered. Once a file is
  // open, a chosen file that cannot be used leaves that one as it was.
  enum class Source {
    // The word file the settings name: a missing one is taken empty (a save
    // creates it) and a directory is disowned, both without an error.
    Remembered,
    // The file named on the command line, relative to the current directory.
    StartFile,
    // A file chosen in the open dialog.
    Chosen,
  };

  enum class Opened {
    Adopted,    // its lines are the list now (the new word file's, when converted)
    Absent,     // no file there yet: the list is empty, and a save creates it
    Disowned,   // the list is empty and stands for nothing of the file, never written
    Cancelled,  // the session is as it was
  };

  struct OpenResult {
    Opened opened = Opened::Cancelled;
    // Why the adopted file can never be saved back, to be told at once.
    WordList::LoadProblem problem = WordList::LoadProblem::None;
    // What a conversion wrote, and why it failed if it did (the file was then
    // refused as if the user had cancelled).
    std::optional<Conversion> conversion;
    std::optional<Error> conversionError;
  };

  // Opens `path` (file-system bytes). A file with lines but no state mark is
  // left to `policy`. A file that cannot be read raises its OpenError; at
  // start-up it has been disowned then, a chosen one has changed nothing.
  // The session holds the file's writer lock while it stands for the file;
  // a file another copy of the program holds is left to `busy` (without
  // one, it is opened without saving progress).
  OpenResult Open(const std::string& path, UnmarkedPolicy& policy, Source source, BusyPolicy* busy = nullptr);

  // Saves the list over its file; the result says when it declined and why
  // (NotOwned for a file another copy holds). Raises CreateError or
  // WriteError when writing fails.
  WordList::SaveResult Save() { return lock_ ? list_.Save(list_.Path()) : WordList::SaveResult::NotOwned; }

  WordList& List() { return list_; }
  const WordList& List() const { return list_; }
  const std::string& Path() const { return list_.Path(); }
  // The directory of the file, ending in "/" (empty for a bare name), and
  // its name without it, as the settings keep them.
  std::string Dir() const;
  std::string Name() const;

 private:
  // The list becomes empty and stands for `path`, which it never writes.
  void Disown(const std::string& path);
  // Takes the writer lock of `path`, asking `busy` when another copy holds
  // it: false when the user cancelled. The lock is left empty when the file
  // is opened without saving.
  bool Lock(const std::string& path, BusyPolicy* busy, std::unique_ptr<WriterLock>& lock);
  // Whether `fresh`, loaded from `path`, is to be adopted: an unmarked file
  // only if the policy says so. A conversion makes `fresh` the new word file.
  static bool Accept(const std::string& path, WordList& fresh, UnmarkedPolicy& policy, OpenResult& result);

  WordList list_;
  std::unique_ptr<WriterLock> lock_;  // of the file the list stands for
};

}  // namespace vz
