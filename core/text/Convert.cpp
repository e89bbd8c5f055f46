#include "core/text/Convert.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>

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

const char* IconvName(Encoding enc) {
  switch (enc) {
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
  return "UTF-8";
}

constexpr int kEncodings = static_cast<int>(Encoding::Utf16Be) + 1;

Converter& ConverterFor(Encoding enc, bool toUtf8) {
  thread_local std::unique_ptr<Converter> cache[kEncodings][2];
  auto& c = cache[static_cast<int>(enc)][toUtf8];
  if (!c)
    c = toUtf8 ? std::make_unique<Converter>("UTF-8", IconvName(enc))
               : std::make_unique<Converter>(IconvName(enc), "UTF-8");
  c->Reset();
  return *c;
}

bool Utf16(Encoding enc) { return enc == Encoding::Utf16Le || enc == Encoding::Utf16Be; }

}  // namespace

std::string ToUtf8(Encoding enc, std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  Converter& dec = ConverterFor(enc, true);
  // Skip the offending byte only, so that a following ASCII byte (say, the
  // second byte of "81 20") still shows; in UTF-16 the offending code unit.
  const std::size_t unit = Utf16(enc) ? 2 : 1;
  while (!dec.Run(bytes, out)) {
    out.append("\xEF\xBF\xBD");  // U+FFFD
    bytes.remove_prefix(std::min(unit, bytes.size()));
    dec.Reset();
  }
  return out;
}

std::optional<std::string> FromUtf8(Encoding enc, std::string_view utf8) {
  std::string out;
  out.reserve(Utf16(enc) ? utf8.size() * 2 : utf8.size());
  if (!ConverterFor(enc, false).Run(utf8, out)) return std::nullopt;
  return out;
}

bool Decodes(Encoding enc, std::string_view bytes) {
  std::string out;
  return ConverterFor(enc, true).Run(bytes, out);
}

}  // namespace vz::codec
