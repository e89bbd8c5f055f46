#include "codec/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace vz::codec {
namespace {

// One converter per direction, opened on first use and reset before each call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: no CP932 converter");
  }
  ~Converter() { ::iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as possible; returns false at an invalid or incomplete
  // sequence, with `in` pointing at it.
  bool Run(std::string_view& in, std::string& out) {
    char buf[1024];
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

Converter& Decoder() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}

Converter& Encoder() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  Converter& dec = Decoder();
  dec.Reset();
  while (!dec.Run(bytes, out)) {
    out.append("\xEF\xBF\xBD");  // U+FFFD
    // Skip the offending byte only, so that a following ASCII byte
    // (say, the second byte of "81 20") still shows.
    bytes.remove_prefix(1);
    dec.Reset();
  }
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  Converter& enc = Encoder();
  enc.Reset();
  if (!enc.Run(utf8, out)) return std::nullopt;
  return out;
}

}  // namespace vz::codec
