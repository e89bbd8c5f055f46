#include "core/import/Import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/files/Paths.h"
#include "core/files/ReadFile.h"
#include "core/import/Delimited.h"
#include "core/import/Kvtml.h"
#include "core/import/LineReaders.h"
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
  return dot == std::string_view::npos || dot < slash ? "" : Lower(fileName.substr(dot));
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

// The source's text and its encoding: a byte-order mark is not part of it.
// UTF-16 is read as UTF-8, held in `converted`.
std::string_view TextOf(std::string_view bytes, codec::Encoding& enc, std::string& converted) {
  const codec::Detected d = codec::DetectEncoding(bytes);
  enc = codec::LineEncoding(d.encoding);
  bytes.remove_prefix(d.bom);
  if (enc == d.encoding) return bytes;
  if (bytes.size() % 2 || !codec::Decodes(d.encoding, bytes)) {
    throw Error("UTF-16 のファイルが壊れています (対になっていない文字か、半端なバイトがあります)");
  }
  converted = codec::ToUtf8(d.encoding, bytes);
  return converted;
}

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

const char* EncodingName(codec::Encoding e) { return e == codec::Encoding::Utf8 ? "UTF-8" : "CP932"; }

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
  codec::Encoding enc;
  std::string converted;
  const std::string_view text = TextOf(bytes, enc, converted);
  const Format format = DetectFormat(text, fileName);
  // Columns that would be ignored are refused rather than given a result
  // the user did not ask for.
  const bool delimited = format == Format::Csv || format == Format::Tsv;
  if (!options.columns.empty() && format != Format::Kvtml &&
      (!delimited || ColumnIndexes(options.columns).empty())) {
    throw Error(delimited ? "--columns には問題と答えの列の番号を「2,1」のように指定してください"
                          : std::string("--columns は ") + FormatName(format) + " には使えません");
  }
  switch (format) {
    case Format::Kvtml:
      ReadKvtml(codec::ToUtf8(enc, text), options.columns, onRecord, onSkip);
      break;
    case Format::Edict:
      ReadEdict(text, enc, options.readings, onRecord, onSkip);
      break;
    case Format::Plain:
      ReadPlain(text, enc, onRecord, onSkip);
      break;
    case Format::Csv:
    case Format::Tsv:
      if (const DelimitedLayout layout = ReadLayout(text);
          enc == codec::Encoding::Cp932 && layout.sep >= 0x40) {
        // A separator that can be the second byte of a code page 932
        // character ("|") splits only decoded text.
        const std::string utf8 = codec::ToUtf8(enc, text);
        ReadDelimited(utf8, codec::Encoding::Utf8, ReadLayout(utf8), ColumnIndexes(options.columns), onRecord,
                      onSkip);
      } else {
        ReadDelimited(text, enc, layout, ColumnIndexes(options.columns), onRecord, onSkip);
      }
      break;
  }
  return format;
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

Summary ImportFile(const std::string& source, const std::string& target, const Options& options,
                   const OnSkip& onSkip) {
  if (StampOf(target).exists) throw ExistsError(target);
  const std::string bytes = ReadRegularFile(source);
  // Written in code page 932 as long as every line fits; at the first line
  // that does not, the unfinished file is dropped and written again in UTF-8.
  struct NotCp932 {};
  Summary sum;
  std::size_t told = 0;  // skipped records already reported, by an earlier try
  std::vector<std::size_t> hashes;
  auto write = [&](codec::Encoding enc) {
    sum = {};
    sum.encoding = enc;
    hashes.clear();
    std::size_t seen = 0;
    auto skip = [&](const Skipped& s) {
      ++sum.skipped;
      if (++seen > told) {
        told = seen;
        onSkip(s);
      }
    };
    WriteNewFile(target, [&](const WriteFn& put) {
      constexpr std::size_t kChunk = 256 * 1024;
      std::string buf, why;
      buf.reserve(kChunk + 1024);
      bool ok = true;
      sum.format = ReadRecords(
          bytes, source, options,
          [&](Record& r) {
            auto line = WordLineOf(r, why);
            if (!line) return skip({r.line, why});
            if (enc == codec::Encoding::Cp932 && !IsAscii(*line)) line = codec::FromUtf8(enc, *line);
            if (!line) throw NotCp932{};
            hashes.push_back(std::hash<std::string>()(*line));
            ++sum.pairs;
            buf.append(*line).append("\r\n");
            if (buf.size() >= kChunk) {
              ok = ok && put(buf);
              buf.clear();
            }
          },
          skip);
      if (sum.pairs == 0) throw Error("ファイル " + source + " には取り込める単語がありません");
      return ok && put(buf);
    });
  };
  try {
    write(codec::Encoding::Cp932);
  } catch (const NotCp932&) {
    write(codec::Encoding::Utf8);
  }
  std::sort(hashes.begin(), hashes.end());
  sum.duplicates =
      hashes.size() - static_cast<std::size_t>(std::unique(hashes.begin(), hashes.end()) - hashes.begin());
  return sum;
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
