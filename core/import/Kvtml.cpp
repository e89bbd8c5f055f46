#include "core/import/Kvtml.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/files/Error.h"
#include "core/import/Import.h"
#include "core/import/Markup.h"

namespace vz::import {
namespace {

struct Language {
  std::string id, name, locale;
};

struct Translation {
  std::string text, comment;
};

// The value of attribute `name` in the attribute text of a tag.
std::string Attribute(std::string_view attrs, std::string_view name) {
  for (std::size_t at = attrs.find(name); at != std::string_view::npos; at = attrs.find(name, at + 1)) {
    std::size_t p = at + name.size();
    const bool starts = at == 0 || attrs[at - 1] == ' ' || attrs[at - 1] == '\t' || attrs[at - 1] == '\n';
    while (p < attrs.size() && attrs[p] == ' ') ++p;
    if (!starts || p >= attrs.size() || attrs[p] != '=') continue;
    for (++p; p < attrs.size() && attrs[p] == ' ';) ++p;
    if (p >= attrs.size() || (attrs[p] != '"' && attrs[p] != '\'')) continue;
    const std::size_t close = attrs.find(attrs[p], p + 1);
    if (close != std::string_view::npos) return std::string(attrs.substr(p + 1, close - p - 1));
  }
  return {};
}

// XML character data: entities become characters.
void AppendText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t used = AppendEntityAt(text.substr(i), out);
    if (used == 0) out += text[i];
    i += used > 0 ? used : 1;
  }
}

// The identifier `wanted` names (its number, locale or name); `fallback` when
// it is empty. Raises Error when no language has that name.
std::string Pick(const std::vector<Language>& langs, std::string_view wanted, std::size_t fallback) {
  if (wanted.empty()) return fallback < langs.size() ? langs[fallback].id : std::string();
  for (const Language& l : langs) {
    if (l.id == wanted || l.locale == wanted || l.name == wanted) return l.id;
  }
  throw Error("KVTML ファイルに言語 " + std::string(wanted) + " がありません");
}

Error Malformed(const TextPosition& at, std::string_view why) {
  return Error("KVTML ファイルが XML として正しくありません (" + std::to_string(at.line) + " 行 " +
               std::to_string(at.column) + " 列): " + std::string(why));
}

// The encodings an XML declaration may name that the program reads.
std::optional<codec::Encoding> EncodingNamed(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  static constexpr std::pair<std::string_view, codec::Encoding> kNames[] = {
      {"UTF-8", codec::Encoding::Utf8},        {"UTF8", codec::Encoding::Utf8},
      {"US-ASCII", codec::Encoding::Utf8},     {"ASCII", codec::Encoding::Utf8},
      {"SHIFT_JIS", codec::Encoding::Cp932},   {"SHIFT-JIS", codec::Encoding::Cp932},
      {"SJIS", codec::Encoding::Cp932},        {"CP932", codec::Encoding::Cp932},
      {"WINDOWS-31J", codec::Encoding::Cp932}, {"MS_KANJI", codec::Encoding::Cp932},
      {"EUC-JP", codec::Encoding::EucJp},      {"EUCJP", codec::Encoding::EucJp},
  };
  for (const auto& [known, enc] : kNames) {
    if (upper == known) return enc;
  }
  return std::nullopt;
}

// Markup at the start of the text: what opens and what closes it.
struct Markup {
  enum Kind { Tag, Cdata, Ignored } kind;
  std::string_view open, close;
};

Markup MarkupAt(std::string_view text) {
  if (text.starts_with("<!--")) return {Markup::Ignored, "<!--", "-->"};
  if (text.starts_with("<![CDATA[")) return {Markup::Cdata, "<![CDATA[", "]]>"};
  if (text.starts_with("<?")) return {Markup::Ignored, "<?", "?>"};
  if (text.starts_with("<!")) return {Markup::Ignored, "<!", ">"};  // a document type
  return {Markup::Tag, "<", ">"};
}

// Reads the file a token at a time: character data up to the next "<", or
// markup up to its end. Each is taken when the window holds it whole; one
// longer than kMaxRecordBytes is taken in pieces, and only its first bytes
// are kept.
class KvtmlReader {
 public:
  KvtmlReader(std::string_view columns, const OnRecord& onRecord, const OnSkip& onSkip)
      : columns_(columns), onRecord_(onRecord), onSkip_(onSkip) {
    const std::size_t comma = columns.find(',');
    askedIn_ = columns.substr(0, comma);
    answeredIn_ = comma == std::string_view::npos ? "" : columns.substr(comma + 1);
  }

  void Read(TextWindow& in) {
    try {
      ReadTokens(in);
    } catch (const Undecodable& bad) {
      TextPosition at = pos_;
      at.Advance(in.Text());
      at.Advance(bad.before);
      throw Malformed(at, std::string(EncodingName(in.Source())) + " として読めないバイトがあります");
    }
    if (!open_.empty()) throw Malformed(open_.back().at, "要素 <" + open_.back().name + "> が閉じていません");
    if (langs_.empty()) onSkip_({pos_.line, "KVTML の言語の定義がありません"});
  }

 private:
  struct Open {
    std::string name;
    TextPosition at;
  };

  void ReadTokens(TextWindow& in) {
    for (;;) {
      const std::string_view text = in.Text();
      if (text.empty()) {
        if (!in.More() && in.Text().empty()) break;
      } else if (text[0] != '<') {
        TakeText(in);
      } else {
        TakeMarkup(in);
      }
    }
  }

  void TakeText(TextWindow& in) {
    const std::string_view text = in.Text();
    std::size_t lt = text.find('<');
    if (lt == std::string_view::npos) {
      // Text kept waits for its end, so that no entity is cut; text not
      // kept, or too long to keep, is taken as it comes.
      if (capture_ && text.size() <= kMaxRecordBytes && !in.Ended()) {
        in.More();
        return;
      }
      lt = text.size();
    }
    if (capture_) Capture(text.substr(0, lt), true);
    Pass(in, text.substr(0, lt));
  }

  void TakeMarkup(TextWindow& in) {
    const std::string_view text = in.Text();
    if (text.size() < std::string_view("<![CDATA[").size() && !in.Ended()) {
      in.More();  // to tell what it is
      return;
    }
    const Markup m = MarkupAt(text);
    const std::size_t close = text.find(m.close, m.open.size());
    if (close == std::string_view::npos) {
      if (in.Ended()) throw Malformed(pos_, "タグが閉じていません");
      if (text.size() > kMaxRecordBytes) return TakeLongMarkup(in, m);
      in.More();
      return;
    }
    const std::string_view inside = text.substr(m.open.size(), close - m.open.size());
    if (m.kind == Markup::Cdata && capture_) Capture(inside, false);
    if (m.kind == Markup::Tag) inside.starts_with('/') ? End(inside.substr(1)) : Start(inside);
    Pass(in, text.substr(0, close + m.close.size()));
  }

  // Markup longer than the window: character data in pieces, anything but
  // a tag passed over.
  void TakeLongMarkup(TextWindow& in, const Markup& m) {
    if (m.kind == Markup::Tag) throw Malformed(pos_, "タグが長すぎます");
    const TextPosition start = pos_;
    Pass(in, m.open);
    for (;;) {
      const std::string_view text = in.Text();
      const std::size_t close = text.find(m.close);
      const std::size_t piece =
          close != std::string_view::npos ? close : text.size() - std::min(text.size(), m.close.size() - 1);
      if (m.kind == Markup::Cdata && capture_) Capture(text.substr(0, piece), false);
      if (close != std::string_view::npos) return Pass(in, text.substr(0, close + m.close.size()));
      if (in.Ended()) throw Malformed(start, "タグが閉じていません");
      Pass(in, text.substr(0, piece));
      in.More();
    }
  }

  void Pass(TextWindow& in, std::string_view taken) {
    pos_.Advance(taken);
    in.Consume(taken.size());
  }

  void Capture(std::string_view text, bool entities) {
    entryBytes_ += text.size();
    tooLong_ = tooLong_ || entryBytes_ > kMaxRecordBytes;
    if (tooLong_) return;
    if (entities) {
      AppendText(*capture_, text);
    } else {
      capture_->append(text);
    }
  }

  bool ParentIs(std::string_view name) const {
    return open_.size() >= 2 && open_[open_.size() - 2].name == name;
  }

  // A start tag: "name attributes", "/" at the end when it closes at once.
  void Start(std::string_view tag) {
    const std::size_t nameEnd = std::min(tag.find_first_of(" \t\r\n/"), tag.size());
    const std::string name(tag.substr(0, nameEnd));
    const std::string_view attrs = tag.substr(nameEnd);
    if (name.empty()) throw Malformed(pos_, "タグの名前がありません");
    open_.push_back({name, pos_});
    capture_ = nullptr;
    if (name == "identifier" && ParentIs("identifiers")) {
      langs_.push_back({Attribute(attrs, "id"), {}, {}});
    } else if ((name == "name" || name == "locale") && ParentIs("identifier") && !langs_.empty()) {
      capture_ = name == "name" ? &langs_.back().name : &langs_.back().locale;
    } else if (name == "entry") {
      entryLine_ = pos_.line;
      entryBytes_ = 0;
      tooLong_ = false;
    } else if (name == "translation" && ParentIs("entry")) {
      translationId_ = Attribute(attrs, "id");
    } else if ((name == "text" || name == "comment") && ParentIs("translation")) {
      Translation& t = entry_[translationId_];
      capture_ = name == "text" ? &t.text : &t.comment;
    }
    if (tag.ends_with('/')) {
      open_.pop_back();
      capture_ = nullptr;
    }
  }

  // An end tag, without its "/".
  void End(std::string_view tag) {
    const std::string name(tag.substr(0, tag.find_first_of(" \t\r\n")));
    capture_ = nullptr;
    if (open_.empty()) throw Malformed(pos_, "終了タグ </" + name + "> に対応する開始タグがありません");
    if (open_.back().name != name) {
      throw Malformed(pos_, "終了タグ </" + name + "> が要素 <" + open_.back().name + "> と合いません");
    }
    if (name == "identifiers" && !columns_.empty()) {
      Pick(langs_, askedIn_, 0);  // names a language, or raises Error
      Pick(langs_, answeredIn_, 1);
    }
    if (name == "entry") EndEntry();
    open_.pop_back();
  }

  void EndEntry() {
    if (tooLong_) {
      onSkip_({entryLine_, TooLongWhy()});
    } else {
      const bool oneLanguage = langs_.size() == 1 && columns_.empty();
      const std::string asked = Pick(langs_, askedIn_, 0);
      const std::string answered = oneLanguage ? asked : Pick(langs_, answeredIn_, 1);
      Record r;
      r.line = entryLine_;
      r.question = CleanField(oneLanguage ? entry_[asked].comment : entry_[asked].text);
      r.answers.push_back(CleanField(entry_[answered].text));
      onRecord_(r);
    }
    entry_.clear();
  }

  std::string_view columns_, askedIn_, answeredIn_;
  const OnRecord& onRecord_;
  const OnSkip& onSkip_;
  std::vector<Language> langs_;
  std::map<std::string, Translation> entry_;
  std::vector<Open> open_;
  std::string* capture_ = nullptr;  // where the character data goes
  std::string translationId_;
  std::size_t entryLine_ = 0, entryBytes_ = 0;
  bool tooLong_ = false;  // the entry holds more than an import takes
  TextPosition pos_;      // where the window's text starts
};

}  // namespace

Reading KvtmlReading(std::string_view head) {
  if (Reading marked = ByteOrderMark(head); marked.bom > 0) return {marked.source, marked.bom, true, true};
  std::string name = "UTF-8";
  if (head.starts_with("<?xml")) {
    const std::string_view declaration = head.substr(5, head.find("?>") - 5);
    if (std::string declared = Attribute(declaration, "encoding"); !declared.empty()) name = declared;
  }
  const std::optional<codec::Encoding> enc = EncodingNamed(name);
  if (!enc) throw Error("KVTML ファイルの文字コード " + name + " には対応していません");
  return {*enc, 0, true, true};
}

void ReadKvtml(TextWindow& in, std::string_view columns, const OnRecord& onRecord, const OnSkip& onSkip) {
  KvtmlReader(columns, onRecord, onSkip).Read(in);
}

}  // namespace vz::import
