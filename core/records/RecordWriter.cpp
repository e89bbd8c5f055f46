#include "core/records/RecordWriter.h"

#include "core/records/Calendar.h"
#include "core/records/FileIdentity.h"
#include "core/records/Schema.h"
#include "core/text/TextCut.h"

namespace vz::records {
namespace {

// FNV-1a, 64 bits: stable across builds and machines, unlike std::hash.
std::uint64_t Fnv(std::uint64_t h, std::string_view bytes) {
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  return h;
}

// A line's key: its question and answers (as kept) and their whole length.
std::int64_t KeyOf(const Judgement& j) {
  std::uint64_t h = Fnv(0xcbf29ce484222325ULL, j.question);
  h = Fnv(h, std::string_view("\0", 1));
  h = Fnv(h, j.answers);
  h = Fnv(h, std::to_string(j.fullBytes));
  return static_cast<std::int64_t>(h);
}

}  // namespace

Judgement JudgementOf(const QuizEvent& e, const std::string& file, std::chrono::system_clock::time_point at) {
  Judgement j;
  j.atMs = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
  j.day = LocalDay(at);
  j.file = file;
  j.outcome = e.outcome;
  j.question = codec::Head(e.question, kKeptBytes, e.encoding);
  j.answers = codec::Head(e.answers, kKeptBytes, e.encoding);
  j.fullBytes = e.question.size() + e.answers.size();
  j.cut = j.question.size() + j.answers.size() < j.fullBytes;
  j.encoding = e.encoding;
  j.ticks = e.ticks;
  j.timeLimit = e.timeLimit;
  return j;
}

std::string_view EncodingKey(codec::Encoding enc) {
  switch (codec::LineEncoding(enc)) {
    case codec::Encoding::Utf8:
      return "utf-8";
    case codec::Encoding::EucJp:
      return "euc-jp";
    default:
      return "cp932";
  }
}

codec::Encoding EncodingFromKey(std::string_view key) {
  if (key == "utf-8") return codec::Encoding::Utf8;
  if (key == "euc-jp") return codec::Encoding::EucJp;
  return codec::Encoding::Cp932;
}

RecordWriter::RecordWriter(const std::string& dbPath) : db_(OpenForWriting(dbPath)) {}
RecordWriter::~RecordWriter() = default;

std::int64_t RecordWriter::FileId(const std::string& path) {
  if (const auto it = files_.find(path); it != files_.end()) return it->second;
  const std::int64_t id = ResolveFile(*db_, path);
  files_.emplace(path, id);
  return id;
}

std::int64_t RecordWriter::LineId(std::int64_t file, const Judgement& j) {
  const std::int64_t key = KeyOf(j);
  Statement find = db_->Prepare("SELECT id FROM lines WHERE file = ? AND key = ?");
  if (find.Bind(1, file).Bind(2, key).Step()) return find.Int(0);
  db_->Prepare("INSERT INTO lines(file, key, question, answers, encoding, cut) VALUES (?, ?, ?, ?, ?, ?)")
      .Bind(1, file)
      .Bind(2, key)
      .Bind(3, j.question)
      .Bind(4, j.answers)
      .BindText(5, EncodingKey(j.encoding))
      .Bind(6, j.cut)
      .Run();
  return db_->LastId();
}

void RecordWriter::Write(std::span<const Judgement> batch) {
  const auto known = files_;
  try {
    InTransaction(*db_, [&] {
      Statement add = db_->Prepare(
          "INSERT INTO judgements(at, day, line, outcome, ticks, time_limit) VALUES (?, ?, ?, ?, ?, ?)");
      for (const Judgement& j : batch) {
        add.Bind(1, j.atMs)
            .Bind(2, j.day)
            .Bind(3, LineId(FileId(j.file), j))
            .Bind(4, static_cast<int>(j.outcome))
            .Bind(5, j.ticks)
            .Bind(6, j.timeLimit)
            .Run();
      }
    });
  } catch (...) {
    files_ = known;  // rows made in the failed transaction are gone
    throw;
  }
}

void RecordWriter::Refresh(const std::string& path) {
  InTransaction(*db_, [&] { RefreshIdentity(*db_, path); });
}

}  // namespace vz::records
