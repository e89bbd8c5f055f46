#include "core/import/Import.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/files/Paths.h"
#include "core/files/ReadFile.h"
#include "core/import/Delimited.h"
#include "core/import/Kvtml.h"
#include "core/import/LineReaders.h"
#include "core/import/Source.h"
#include "core/import/TextWindow.h"
#include "core/text/Convert.h"
#include "core/wordlist/WordLine.h"
#include "core/wordlist/WordList.h"

namespace vz::import {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

std::string Extension(std::string_view fileName) {
  const std::size_t slash = DirPart(fileName).size();
  const std::size_t dot = fileName.rfind('.');
  return dot == std::string_view::npos || dot <= slash ? "" : Lower(fileName.substr(dot));
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

// Column numbers "A,B" (from 1) as indexes; empty unless both are numbers.
std::vector<std::size_t> ColumnIndexes(std::string_view columns) {
  const std::size_t comma = columns.find(',');
  if (comma == std::string_view::npos) return {};
  const int a = std::atoi(std::string(columns.substr(0, comma)).c_str());
  const int b = std::atoi(std::string(columns.substr(comma + 1)).c_str());
  if (a < 1 || b < 1) return {};
  return {static_cast<std::size_t>(a - 1), static_cast<std::size_t>(b - 1)};
}

constexpr std::size_t kHeadBytes = 64 * 1024;  // what format and layout are told from
constexpr std::size_t kSampleBytes = 4 << 20;  // the most text the encoding is told from

// The first bytes of `source`.
std::string HeadOf(ByteSource& source) {
  source.Rewind();
  std::string head;
  while (head.size() < kHeadBytes && source.Read(head, kHeadBytes - head.size()) > 0) {
  }
  return head;
}

// The encoding of a source without a byte-order mark, told from its lines
// that hold non-ASCII bytes (up to kSampleBytes of them): other lines read
// the same in every encoding. Lines too long to be a record are left out,
// since they are never read.
codec::Encoding SampledEncoding(ByteSource& source) {
  TextWindow in(source, Reading{});
  std::string sample;
  while (sample.size() < kSampleBytes) {
    const std::string_view text = in.Text();
    const std::size_t whole = WholeLines(text, in.Ended());
    if (whole == 0 && text.size() > kMaxRecordBytes) {
      in.SkipLine();
    } else if (whole == 0) {
      if (!in.More() && in.Text().empty()) break;
    } else {
      if (!IsAscii(text.substr(0, whole))) {
        ForEachTextLine(text.substr(0, whole), [&](std::string_view line, std::string_view) {
          if (line.size() <= kMaxRecordBytes && !IsAscii(line)) sample.append(line).append("\n");
        });
      }
      in.Consume(whole);
    }
  }
  return codec::DetectEncoding(sample).encoding;
}

// What the first pass over a source finds: how to read the second.
struct Plan {
  Format format = Format::Plain;
  Reading reading;
  DelimitedLayout layout;  // of delimited text
};

Plan PlanReading(ByteSource& source, std::string_view fileName) {
  const std::string head = HeadOf(source);
  Plan plan;
  plan.reading = ByteOrderMark(head);
  std::string_view text = std::string_view(head).substr(plan.reading.bom);
  std::string decoded;
  if (plan.reading.toUtf8) text = decoded = codec::ToUtf8(plan.reading.source, text);
  plan.format = DetectFormat(text, fileName);
  if (plan.format == Format::Kvtml) {
    plan.reading = KvtmlReading(head);
    return plan;
  }
  if (plan.reading.bom == 0) plan.reading.source = SampledEncoding(source);
  if (plan.format == Format::Csv || plan.format == Format::Tsv) {
    plan.layout = ReadLayout(text);
    // A separator that can be the second byte of a code page 932
    // character ("|") splits only decoded text.
    if (plan.reading.source == codec::Encoding::Cp932 && plan.layout.sep >= 0x40) plan.reading.toUtf8 = true;
  }
  return plan;
}

// Columns that would be ignored are refused rather than given a result the
// user did not ask for.
void CheckColumns(Format format, const Options& options) {
  const bool delimited = format == Format::Csv || format == Format::Tsv;
  if (options.columns.empty() || format == Format::Kvtml ||
      (delimited && !ColumnIndexes(options.columns).empty()))
    return;
  throw Error(delimited ? "--columns には問題と答えの列の番号を「2,1」のように指定してください"
                        : std::string("--columns は ") + FormatName(format) + " には使えません");
}

void ReadPlanned(ByteSource& source, const Plan& plan, const Options& options, const OnRecord& onRecord,
                 const OnSkip& onSkip) {
  CheckColumns(plan.format, options);
  TextWindow in(source, plan.reading);
  const FieldDecoder decoder(plan.reading.Text(), plan.reading.toUtf8 && !plan.reading.strict,
                             EncodingName(plan.reading.source));
  try {
    switch (plan.format) {
      case Format::Kvtml:
        return ReadKvtml(in, options.columns, onRecord, onSkip);
      case Format::Edict:
        return ReadEdict(in, decoder, options.readings, onRecord, onSkip);
      case Format::Plain:
        return ReadPlain(in, decoder, onRecord, onSkip);
      case Format::Csv:
      case Format::Tsv:
        return ReadDelimited(in, plan.layout, ColumnIndexes(options.columns), decoder, onRecord, onSkip);
    }
  } catch (const Undecodable&) {  // a UTF-16 file: the only other strict reading
    throw Error("UTF-16 のファイルが壊れています (対になっていない文字か、半端なバイトがあります)");
  }
}

// Writes the word lines of records in one encoding, a piece at a time.
class WordWriter {
 public:
  struct NotCp932 {};  // a line code page 932 cannot hold

  WordWriter(codec::Encoding enc, const WriteFn& put, const std::string& target)
      : enc_(enc), put_(put), target_(target) {
    buf_.reserve(kChunk + 1024);
  }

  // Writes the line of `r` and returns its hash, or nullopt (with `why`)
  // when there is none. Raises NotCp932.
  std::optional<std::size_t> Add(const Record& r, std::string& why) {
    auto line = WordLineOf(r, why);
    if (!line) return std::nullopt;
    if (enc_ == codec::Encoding::Cp932 && !IsAscii(*line)) line = codec::FromUtf8(enc_, *line);
    if (!line) throw NotCp932{};
    written_ += line->size() + 2;
    // A file the word list could not load is no word file.
    if (written_ > WordList::kMaxBytes) throw CreateError(target_, EFBIG);
    buf_.append(*line).append("\r\n");
    if (buf_.size() >= kChunk) Flush();
    return std::hash<std::string>()(*line);
  }

  bool Finish() {
    Flush();
    return ok_;
  }

 private:
  static constexpr std::size_t kChunk = 256 * 1024;

  void Flush() {
    ok_ = ok_ && put_(buf_);
    buf_.clear();
  }

  codec::Encoding enc_;
  const WriteFn& put_;
  const std::string& target_;
  std::string buf_;
  std::uint64_t written_ = 0;
  bool ok_ = true;
};

// Writes the records one source hands out into one new word file, trying
// code page 932 first.
class Conversion {
 public:
  Conversion(const std::string& target, const RecordSource& records, const OnSkip& onSkip,
             const std::string& noWords)
      : target_(target), records_(records), onSkip_(onSkip), noWords_(noWords) {}

  // Writes the file in code page 932 as long as every line fits; at the
  // first line that does not, the unfinished file is dropped and written
  // again in UTF-8.
  Summary Run() {
    Summary sum;
    try {
      sum = Write(codec::Encoding::Cp932);
    } catch (const WordWriter::NotCp932&) {
      sum = Write(codec::Encoding::Utf8);
    }
    std::sort(hashes_.begin(), hashes_.end());
    sum.duplicates = hashes_.size() -
                     static_cast<std::size_t>(std::unique(hashes_.begin(), hashes_.end()) - hashes_.begin());
    return sum;
  }

 private:
  Summary Write(codec::Encoding enc) {
    Summary sum;
    sum.encoding = enc;
    hashes_.clear();
    std::size_t seen = 0;
    const OnSkip skip = [&](const Skipped& s) {
      ++sum.skipped;
      if (++seen > told_) {  // not reported by an earlier try
        told_ = seen;
        onSkip_(s);
      }
    };
    WriteNewFile(target_, [&](const WriteFn& put) {
      WordWriter out(enc, put, target_);
      std::string why;
      const OnRecord take = [&](Record& r) {
        const std::optional<std::size_t> hash = out.Add(r, why);
        if (!hash) return skip({r.line, why});
        hashes_.push_back(*hash);
        ++sum.pairs;
      };
      sum.format = records_(take, skip);
      if (sum.pairs == 0) throw Error(noWords_);
      return out.Finish();
    });
    return sum;
  }

  const std::string& target_;
  const RecordSource& records_;
  const OnSkip& onSkip_;
  const std::string& noWords_;
  std::vector<std::size_t> hashes_;  // of the lines written, for the duplicates
  std::size_t told_ = 0;             // skipped records already reported
};

}  // namespace

const char* FormatName(Format f) {
  switch (f) {
    case Format::Csv:
      return "CSV";
    case Format::Tsv:
      return "TSV";
    case Format::Kvtml:
      return "KVTML";
    case Format::Edict:
      return "EDICT";
    case Format::Plain:
      break;
  }
  return "問題,答え";
}

const char* EncodingName(codec::Encoding e) {
  switch (e) {
    case codec::Encoding::Utf8:
      return "UTF-8";
    case codec::Encoding::EucJp:
      return "EUC-JP";
    case codec::Encoding::Utf16Le:
      return "UTF-16LE";
    case codec::Encoding::Utf16Be:
      return "UTF-16BE";
    case codec::Encoding::Cp932:
      break;
  }
  return "CP932";
}

Format DetectFormat(std::string_view bytes, std::string_view fileName) {
  const std::string ext = Extension(fileName);
  const std::string_view head = bytes.substr(0, 4096);
  if (head.find("<kvtml") != std::string_view::npos ||
      (ext == ".kvtml" && head.find('<') != std::string_view::npos))
    return Format::Kvtml;
  std::string_view text = bytes.starts_with(codec::kUtf8Bom) ? bytes.substr(codec::kUtf8Bom.size()) : bytes;
  const DelimitedLayout layout = ReadLayout(text);
  if (layout.ankiHeader) return Format::Tsv;
  // EDICT when most of the first lines have its shape.
  int seen = 0, edict = 0;
  constexpr std::size_t kLook = 4096;
  ForEachTextLine(text.substr(0, kLook), [&](std::string_view line, std::string_view ending) {
    const bool cut = ending.empty() && text.size() > kLook;
    if (cut || line.empty() || seen >= 5) return;
    ++seen;
    edict += LooksLikeEdict(line);
  });
  if (edict * 2 > seen) return Format::Edict;
  if (ext == ".tsv" || layout.sep == '\t') return Format::Tsv;
  const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  if (ext == ".csv" || layout.sep != ',' || first.find('"') != std::string_view::npos) return Format::Csv;
  return Format::Plain;
}

Format ReadRecords(std::string_view bytes, std::string_view fileName, const Options& options,
                   const OnRecord& onRecord, const OnSkip& onSkip) {
  MemorySource source(bytes);
  const Plan plan = PlanReading(source, fileName);
  ReadPlanned(source, plan, options, onRecord, onSkip);
  return plan.format;
}

std::optional<std::string> WordLineOf(const Record& r, std::string& why) {
  std::string answers;
  for (const std::string& a : r.answers) {
    for (std::size_t from = 0; from <= a.size();) {
      const std::size_t to = std::min(a.find(kAnswerSeparator, from), a.size());
      const std::string alt = CleanField(std::string_view(a).substr(from, to - from));
      if (!alt.empty()) (answers.empty() ? answers : answers += kAnswerSeparator) += alt;
      from = to + 1;
    }
  }
  if (r.question.empty()) {
    why = "問題が空です";
  } else if (r.question.find(kQuestionEnd) != std::string::npos) {
    why = "問題に「,」が含まれています (単語ファイルの問題には書けません)";
  } else if (answers.empty()) {
    why = "答えが空です";
  } else {
    return Join(std::string(1, kLineToAsk), r.question, answers);
  }
  return std::nullopt;
}

Summary WriteWordFile(const std::string& target, const RecordSource& records, const OnSkip& onSkip,
                      const std::string& noWords) {
  if (StampOf(target).exists) throw ExistsError(target);
  return Conversion(target, records, onSkip, noWords).Run();
}

Summary ImportFile(const std::string& source, const std::string& target, const Options& options,
                   const OnSkip& onSkip) {
  if (StampOf(target).exists) throw ExistsError(target);
  FileSource file(source);
  const Plan plan = PlanReading(file, source);
  return WriteWordFile(
      target,
      [&](const OnRecord& take, const OnSkip& skip) {
        ReadPlanned(file, plan, options, take, skip);
        // Both tries must read the same bytes.
        file.CheckUnchanged();
        return plan.format;
      },
      onSkip, "ファイル " + source + " には取り込める単語がありません");
}

std::string DefaultTarget(const std::string& source) {
  const std::size_t slash = DirPart(source).size();
  const std::size_t dot = source.rfind('.');
  const std::string stem = dot == std::string::npos || dot <= slash ? source : source.substr(0, dot);
  const std::string target = stem + ".txt";
  return target == source ? stem + "-vevez.txt" : target;
}

bool LooksUnmarked(const WordList& list) {
  bool any = false;
  for (int i = 0; i < list.Count(); ++i) {
    const std::string_view line = list.Get(i);
    if (line.empty()) continue;
    if (line[0] == kLineToAsk || line[0] == kLineAnswered || line[0] == kLineComment) return false;
    any = true;
  }
  return any;
}

}  // namespace vz::import
