#include "core/records/Recorder.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <utility>
#include <vector>

namespace vz::records {

Recorder::Recorder(std::string dbPath, std::function<void()> faultWaiting, Now now)
    : path_(std::move(dbPath)), faultWaiting_(std::move(faultWaiting)), now_(std::move(now)) {
  thread_ = std::thread([this] { Run(); });
}

Recorder::~Recorder() { Close(); }

void Recorder::SetWordFile(const std::string& path) {
  if (!file_.empty()) WordFileSaved();
  file_ = path;
  asked_ = false;
}

void Recorder::WordFileSaved() {
  if (!file_.empty()) Push({Task::Kind::Refresh, {}, file_});
}

void Recorder::Asked() noexcept { asked_ = !file_.empty(); }

void Recorder::Happened(const QuizEvent& event) noexcept {
  if (!asked_) return;
  try {
    Push({Task::Kind::Record, JudgementOf(event, file_, now_()), {}});
  } catch (const std::exception&) {
    // No memory for the copy: this outcome goes unrecorded, the quiz goes on.
  }
}

void Recorder::Push(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (failed_ || stopping_) return;
    queue_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void Recorder::Flush() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void Recorder::Close() {
  if (!thread_.joinable()) return;
  WordFileSaved();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::optional<std::string> Recorder::TakeFault() {
  std::lock_guard lock(mutex_);
  return std::exchange(fault_, std::nullopt);
}

void Recorder::Run() {
  // A file-size limit then fails the write (EFBIG), a fault like a full
  // disk, instead of ending the program with SIGXFSZ.
  sigset_t xfsz;
  sigemptyset(&xfsz);
  sigaddset(&xfsz, SIGXFSZ);
  pthread_sigmask(SIG_BLOCK, &xfsz, nullptr);
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;
    std::deque<Task> tasks;
    tasks.swap(queue_);
    busy_ = true;
    lock.unlock();
    Perform(tasks);
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
  writer_.reset();
}

void Recorder::Perform(std::deque<Task>& tasks) {
  std::vector<Judgement> batch;
  try {
    for (Task& t : tasks) {
      if (t.kind == Task::Kind::Record) {
        batch.push_back(std::move(t.judgement));
        continue;
      }
      Write(batch);
      Refresh(t.file);
    }
    Write(batch);
  } catch (const std::exception& e) {
    Fault(e.what());
  }
}

void Recorder::Write(std::vector<Judgement>& batch) {
  if (batch.empty()) return;
  if (!writer_) writer_ = std::make_unique<RecordWriter>(path_);
  writer_->Write(batch);
  batch.clear();
}

void Recorder::Refresh(const std::string& file) {
  // Nothing to refresh in a database that does not exist yet.
  struct stat st {};
  if (!writer_ && ::stat(path_.c_str(), &st) != 0) return;
  try {
    if (!writer_) writer_ = std::make_unique<RecordWriter>(path_);
    writer_->Refresh(file);
  } catch (const RecordsError&) {
    // Only a rename after this save goes unnoticed: nothing recorded is
    // lost, and the next outcome to write finds out whether the database
    // still works. No box for this.
    writer_.reset();
  }
}

void Recorder::Fault(const std::string& message) {
  writer_.reset();
  {
    std::lock_guard lock(mutex_);
    failed_ = true;
    fault_ = message + "\nこのまま練習を続けられますが、これ以降の解答は記録しません。";
    queue_.clear();
  }
  if (faultWaiting_) faultWaiting_();
}

}  // namespace vz::records
