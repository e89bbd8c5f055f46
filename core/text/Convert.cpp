#include "core/text/Convert.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/text/Readings.h"
#include "core/text/Utf16.h"

namespace vz::codec {
namespace {

// One converter per encoding and direction and thread, opened on first use
// and reset before each call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv: no converter for ") + from);
  }
  ~Converter() { ::iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as possible; returns false at an invalid or incomplete
  // sequence, with `in` pointing at it.
  bool Run(std::string_view& in, std::string& out) {
    char buf[4096];
    while (!in.empty()) {
      char* src = const_cast<char*>(in.data());
      size_t srcLeft = in.size();
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      size_t r = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      const int err = errno;
      out.append(buf, static_cast<size_t>(dst - buf));
      in.remove_prefix(in.size() - srcLeft);
      if (r == static_cast<size_t>(-1) && err != E2BIG) return false;
    }
    return true;
  }
  void Reset() { ::iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t cd_;
};

// EUC-JP as Windows and LibreOffice write it (CP51932, eucJP-ms): plain
// EUC-JP decides every code it has (with the JIS mappings EDICT and SKK
// mean), the extensions only the codes it lacks. NEC row 13 and the
// NEC-selected IBM rows 89 to 92 are code page 932's rows at the same JIS
// place; the IBM rows of the JIS X 0212 plane and the user-defined rows are
// eucJP-ms's.
constexpr int kEucJpMs = static_cast<int>(Encoding::Utf16Be) + 1;

const char* IconvName(int enc) {
  switch (Encoding(enc)) {
    case Encoding::Cp932:
      return "CP932";
    case Encoding::EucJp:
      return "EUC-JP";
    case Encoding::Utf16Le:
      return "UTF-16LE";
    case Encoding::Utf16Be:
      return "UTF-16BE";
    case Encoding::Utf8:
      break;
  }
  return enc == kEucJpMs ? "EUC-JP-MS" : "UTF-8";
}

Converter& ConverterFor(int enc, bool toUtf8) {
  thread_local std::unique_ptr<Converter> cache[kEucJpMs + 1][2];
  auto& c = cache[enc][toUtf8];
  if (!c)
    c = toUtf8 ? std::make_unique<Converter>("UTF-8", IconvName(enc))
               : std::make_unique<Converter>(IconvName(enc), "UTF-8");
  c->Reset();
  return *c;
}

Converter& ConverterFor(Encoding enc, bool toUtf8) { return ConverterFor(static_cast<int>(enc), toUtf8); }

bool Utf16(Encoding enc) { return enc == Encoding::Utf16Le || enc == Encoding::Utf16Be; }

// The length of the code at the start of `bytes` that did not decode: a
// whole two- or three-byte code when its bytes have the form of one (so
// that a code no table assigns is one U+FFFD and decoding stays in step),
// else one byte (so that an ASCII byte after a stray lead byte, as in
// "81 20", still shows).
std::size_t FailedLength(Encoding enc, std::string_view bytes) {
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  const auto* const end = p + bytes.size();
  std::size_t n = 1;
  if (enc == Encoding::EucJp) n = static_cast<std::size_t>(EucCharAt(p, end));
  if (enc == Encoding::Cp932) n = static_cast<std::size_t>(SjisReader::Length(p, end));
  return n ? n : 1;
}

// The code page 932 bytes at the JIS place of a two-byte EUC-JP code.
std::string EucToSjis(Byte lead, Byte trail) {
  const int row = lead - 0xA0, cell = trail - 0xA0;
  const int sjisLead = (row - 1) / 2 + (row <= 62 ? 0x81 : 0xC1);
  const int sjisTrail = row % 2 ? cell + 0x3F + (cell >= 64) : cell + 0x9E;
  return {static_cast<char>(sjisLead), static_cast<char>(sjisTrail)};
}

// The character of an EUC-JP code plain EUC-JP lacks, by the extensions.
bool DecodeEucExtension(std::string_view code, std::string& out) {
  const auto* p = reinterpret_cast<const Byte*>(code.data());
  if (code.size() == 2 && p[0] != 0x8E) {
    std::string_view sjis;
    const std::string bytes = EucToSjis(p[0], p[1]);
    sjis = bytes;
    if (ConverterFor(Encoding::Cp932, true).Run(sjis, out)) return true;
  }
  return ConverterFor(kEucJpMs, true).Run(code, out);
}

// The EUC-JP code of a character plain EUC-JP lacks, as eucJP-ms writes it:
// NEC row 13 at row 13, the IBM extensions in the JIS X 0212 plane (8F F3
// and 8F F4), never in the NEC-selected rows that are only read.
bool EncodeEucExtension(std::string_view c, std::string& out) {
  return ConverterFor(kEucJpMs, false).Run(c, out);
}

// `bytes` in `enc` as UTF-8 appended to `out`; false when some code did not
// decode (it became U+FFFD).
bool Decode(Encoding enc, std::string_view bytes, std::string& out) {
  if (Utf16(enc)) {
    return AppendUtf16(bytes, enc == Encoding::Utf16Be, out);
  }
  bool clean = true;
  Converter& dec = ConverterFor(enc, true);
  while (!dec.Run(bytes, out)) {
    const std::size_t n = FailedLength(enc, bytes);
    if (enc != Encoding::EucJp || !DecodeEucExtension(bytes.substr(0, n), out)) {
      out.append("\xEF\xBF\xBD");  // U+FFFD
      clean = false;
    }
    bytes.remove_prefix(n);
    dec.Reset();
  }
  return clean;
}

}  // namespace

std::string ToUtf8(Encoding enc, std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  Decode(enc, bytes, out);
  return out;
}

std::optional<std::string> FromUtf8(Encoding enc, std::string_view utf8) {
  std::string out;
  out.reserve(Utf16(enc) ? utf8.size() * 2 : utf8.size());
  Converter& converter = ConverterFor(enc, false);
  while (!converter.Run(utf8, out)) {
    // A character plain EUC-JP lacks may have a code in the extensions.
    const auto* p = reinterpret_cast<const Byte*>(utf8.data());
    const int n = Utf8SequenceAt(p, p + utf8.size());
    std::string_view c = utf8.substr(0, static_cast<std::size_t>(n));
    if (enc != Encoding::EucJp || n == 0 || !EncodeEucExtension(c, out)) return std::nullopt;
    utf8.remove_prefix(static_cast<std::size_t>(n));
    converter.Reset();
  }
  return out;
}

bool Decodes(Encoding enc, std::string_view bytes) {
  std::string out;
  return Decode(enc, bytes, out);
}

}  // namespace vz::codec
