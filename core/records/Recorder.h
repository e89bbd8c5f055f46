#pragma once
// Keeps a record of every outcome of the quiz, off the quiz's thread: the
// quiz hands each outcome over (a copy of at most a few kilobytes) and goes
// on; a thread of the recorder's own writes it into the database at once,
// in one transaction with whatever else came meanwhile. A killed program
// loses at most what was being written.
//
// A fault of the database (no room, no permission, locked, corrupt, not
// ours) never reaches the quiz: the recorder stops recording, keeps the
// first fault's message for the window to show once, and drops every
// outcome after it. It never opens the word file.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/quiz/QuizObserver.h"
#include "core/records/Calendar.h"
#include "core/records/RecordWriter.h"

namespace vz::records {

// The records database's file name, in the user's data folder (beside the
// executable for a portable program).
inline constexpr const char* kRecordsFile = "records.sqlite";

class Recorder final : public QuizObserver {
 public:
  using Now = std::function<WallClock::time_point()>;
  // `faultWaiting` runs on the recorder's thread when a fault is ready for
  // TakeFault(): the window posts itself a call to show it. The database is
  // opened with the first outcome, so a program that records nothing never
  // creates it.
  explicit Recorder(std::string dbPath, std::function<void()> faultWaiting = {}, Now now = WallClock::now);
  ~Recorder() override;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // The word file whose questions are asked from now on (absolute path).
  // Outcomes count only for questions asked after this: a question left on
  // the board from the previous file belongs to no file.
  void SetWordFile(const std::string& path);
  // The program saved the current word file (its inode changed).
  void WordFileSaved();

  void Asked() noexcept override;
  void Happened(const QuizEvent& event) noexcept override;

  // Returns once everything handed over so far is written (or dropped).
  void Flush();
  // Writes what is left and stops the thread; nothing is recorded afterwards.
  void Close();
  // The first fault's message, once; nullopt when there is none to tell.
  std::optional<std::string> TakeFault();
  const std::string& Path() const { return path_; }

 private:
  struct Task {
    enum class Kind { Record, Refresh } kind;
    Judgement judgement;  // Record
    std::string file;     // Refresh
  };
  void Push(Task task);
  void Run();
  void Perform(std::deque<Task>& tasks);
  void Write(std::vector<Judgement>& batch);
  // Takes the word file's identity again; a failure here is not told.
  void Refresh(const std::string& file);
  void Fault(const std::string& message);

  const std::string path_;
  const std::function<void()> faultWaiting_;
  const Now now_;
  std::string file_;  // the current word file; only the quiz's thread uses it
  bool asked_ = false;

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<Task> queue_;
  bool busy_ = false, stopping_ = false, failed_ = false;
  std::optional<std::string> fault_;
  std::unique_ptr<RecordWriter> writer_;  // only the recorder's thread uses it
  std::thread thread_;
};

}  // namespace vz::records
