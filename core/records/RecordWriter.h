#pragma once
// Writes judgements into the records database, a batch per transaction. It
// runs on the recorder's own thread (Recorder.h); tests and benchmarks use
// it directly to make databases.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/quiz/QuizObserver.h"
#include "core/records/Sqlite.h"
#include "core/text/Encoding.h"

namespace vz::records {

// A question and its answers are kept up to this many bytes each: enough
// for any real word, and a line of megabytes costs the quiz no more to
// record than any other. A longer line is known by its beginning and its
// length, and is marked as cut.
inline constexpr std::size_t kKeptBytes = 4096;

// One outcome, as the recorder hands it to its thread.
struct Judgement {
  std::int64_t atMs = 0;  // milliseconds since the epoch
  int day = 0;            // its local day (Calendar.h)
  std::string file;       // the word file's absolute path
  Outcome outcome = Outcome::Correct;
  std::string question, answers;  // cut to kKeptBytes each
  std::size_t fullBytes = 0;      // the question's and answers' whole length
  bool cut = false;
  codec::Encoding encoding = codec::Encoding::Cp932;
  int ticks = 0, timeLimit = 0;
};

// A Judgement of `e`, in the word file `file`, made at `at`.
Judgement JudgementOf(const QuizEvent& e, const std::string& file, std::chrono::system_clock::time_point at);

// The stored name of an encoding, and back (Cp932 for a name not known).
std::string_view EncodingKey(codec::Encoding enc);
codec::Encoding EncodingFromKey(std::string_view key);

class RecordWriter {
 public:
  // Opens or creates the database (Schema.h); raises RecordsError.
  explicit RecordWriter(const std::string& dbPath);
  ~RecordWriter();

  // Adds the judgements in one transaction: all of them or, on an error
  // (raised), none.
  void Write(std::span<const Judgement> batch);
  // Takes the identity of the word file at `path` again (after a save).
  void Refresh(const std::string& path);
  Db& Database() { return *db_; }

 private:
  std::int64_t FileId(const std::string& path);
  std::int64_t LineId(std::int64_t file, const Judgement& j);

  std::unique_ptr<Db> db_;
  std::map<std::string, std::int64_t> files_;  // identities taken in this run
};

}  // namespace vz::records
