// Measures what a recording holds: how long anything is heard above silence,
// and how long each of up to two tones is present, alone and together.
//
//   wav_scan FILE [F1 [F2]] [--frames]
//
// prints one line "heard_ms=H f1_ms=A f2_ms=B both_ms=C" (the f fields only
// for the frequencies given). FILE must be 16-bit PCM WAV; every channel but
// the first is ignored.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace {

// A frame holds "sound" when its RMS is above -40 dBFS, and a tone when the
// amplitude at its frequency is above -30 dBFS. The test tones are at -6 dBFS.
constexpr double kSilence = 0.01;
constexpr double kTone = 0.03;

struct Pcm {
  int rate = 0;
  std::vector<double> samples;  // first channel, scaled to -1..1
};

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

bool ReadWav(const char* path, Pcm& pcm, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4)) {
    why = "not a RIFF WAVE file";
    return false;
  }
  int channels = 0, bits = 0, format = 0;
  size_t pos = 12;
  while (pos + 8 <= b.size()) {
    uint32_t size = Le32(&b[pos + 4]);
    const unsigned char* body = &b[pos + 8];
    size_t avail = b.size() - pos - 8;
    if (!std::memcmp(&b[pos], "fmt ", 4) && avail >= 16) {
      format = Le16(body);
      channels = Le16(body + 2);
      pcm.rate = int(Le32(body + 4));
      bits = Le16(body + 14);
      // WAVE_FORMAT_EXTENSIBLE carries the real format in its sub-format GUID.
      if (format == 0xFFFE && avail >= 26) format = Le16(body + 24);
    } else if (!std::memcmp(&b[pos], "data", 4)) {
      if (format != 1 || bits != 16 || channels < 1 || pcm.rate <= 0) {
        why = "not 16-bit PCM";
        return false;
      }
      // A recorder stopped early may leave the size unset: take what is there.
      size_t n = (size == 0 || size > avail) ? avail : size;
      size_t stride = 2 * size_t(channels);
      for (size_t i = 0; i + stride <= n; i += stride)
        pcm.samples.push_back(int16_t(Le16(body + i)) / 32768.0);
      return true;
    }
    pos += 8 + size + (size & 1);
  }
  why = "no data chunk";
  return false;
}

// Amplitude of the component at `freq` in one Hann-windowed frame (Goertzel).
double ToneAmplitude(const double* x, int n, double freq, int rate) {
  double w = 2 * std::numbers::pi * freq / rate, coeff = 2 * std::cos(w);
  double s1 = 0, s2 = 0, wsum = 0;
  for (int i = 0; i < n; ++i) {
    double win = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
    wsum += win;
    double s = x[i] * win + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return 2 * std::sqrt(std::max(power, 0.0)) / wsum;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  std::vector<double> freqs;
  bool frames = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--frames"))
      frames = true;
    else if (!path)
      path = argv[i];
    else
      freqs.push_back(std::atof(argv[i]));
  }
  if (!path || freqs.size() > 2) {
    std::fprintf(stderr, "usage: wav_scan FILE [F1 [F2]] [--frames]\n");
    return 2;
  }
  Pcm pcm;
  std::string why;
  if (!ReadWav(path, pcm, why)) {
    std::fprintf(stderr, "wav_scan: %s: %s\n", path, why.c_str());
    return 2;
  }

  // Loudness in 1 ms frames; tones in 10 ms frames, 5 ms apart, each
  // frame standing for its middle 5 ms.
  const int ms = pcm.rate / 1000;
  const int n = int(pcm.samples.size());
  long heard = 0;
  for (int at = 0; at + ms <= n; at += ms) {
    double sum = 0;
    for (int i = 0; i < ms; ++i) sum += pcm.samples[at + i] * pcm.samples[at + i];
    if (std::sqrt(sum / ms) > kSilence) ++heard;
  }
  long present[2] = {0, 0}, both = 0;
  const int len = 10 * ms, hop = 5 * ms;
  for (int at = 0; at + len <= n; at += hop) {
    bool on[2] = {false, false};
    for (size_t f = 0; f < freqs.size(); ++f) {
      double a = ToneAmplitude(&pcm.samples[at], len, freqs[f], pcm.rate);
      on[f] = a > kTone;
      present[f] += on[f] ? 5 : 0;
    }
    if (on[0] && on[1]) both += 5;
    if (frames && (on[0] || on[1]))
      std::printf("%6d ms: %s %s\n", at / ms, on[0] ? "f1" : "  ", on[1] ? "f2" : "  ");
  }
  std::printf("heard_ms=%ld", heard);
  for (size_t f = 0; f < freqs.size(); ++f) std::printf(" f%zu_ms=%ld", f + 1, present[f]);
  if (freqs.size() == 2) std::printf(" both_ms=%ld", both);
  std::printf(" length_ms=%ld\n", long(n) * 1000 / pcm.rate);
  return 0;
}
