// Reads the time bar off the screen about every millisecond while one
// question runs, as a user's eye would see it, and prints what it saw: the
// distinct widths, and when each first appeared against when its tick was
// due. For bench/bar_sampler.sh, which starts the program and the question.
// Usage: vevez_bar_sampler WINDOW_ID LIMIT_TICKS
// The bar is found as the first column of 16 pixels of its colours (red +
// blue = 255, no green) in the window; a row of it is then read 400 pixels
// wide.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
};

Image Grab(xcb_connection_t* c, xcb_window_t w, int x, int y, int width, int height) {
  const xcb_get_image_cookie_t cookie =
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, static_cast<int16_t>(x), static_cast<int16_t>(y),
                    static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u);
  std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(xcb_get_image_reply(c, cookie, nullptr),
                                                                     &std::free);
  Image image;
  if (!reply) return image;
  const int bytes = xcb_get_image_data_length(reply.get());
  if (bytes < width * height * 4) return image;  // 32 bits a pixel, as Xvfb's depth 24 is
  image.width = width;
  image.height = height;
  const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply.get()));
  image.pixels.assign(data, data + width * height);
  return image;
}

bool BarColour(std::uint32_t p) {
  const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
  return g == 0 && r + b == 255;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s WINDOW_ID LIMIT_TICKS\n", argv[0]);
    return 2;
  }
  const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  const int limit = std::atoi(argv[2]);
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) return 1;
  std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
  if (!geometry) return 1;
  // Wait for the question's first frame (at most 5 s) and find the bar.
  int x0 = -1, y0 = -1;
  for (const auto until = Clock::now() + std::chrono::seconds(5); x0 < 0 && Clock::now() < until;) {
    const Image all = Grab(c, window, 0, 0, geometry->width, geometry->height);
    // The bar's top left: a column of 16 pixels of its colours.
    for (int i = 0; i + 15 * all.width < static_cast<int>(all.pixels.size()); ++i) {
      if (BarColour(all.pixels[i]) && BarColour(all.pixels[i + 15 * all.width])) {
        x0 = i % all.width;
        y0 = i / all.width;
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (x0 < 0) {
    std::fprintf(stderr, "no time bar seen\n");
    return 1;
  }
  // Each width and when it was first seen. The bar of the question's first
  // tick may stand before it runs: the time counts from the first change.
  const auto start = Clock::now();
  std::map<int, double> firstSeen;
  int samples = 0;
  for (const auto until = start + std::chrono::milliseconds(limit * 10 + 2000); Clock::now() < until;
       ++samples) {
    const Image row = Grab(c, window, x0, y0 + 4, 400, 1);
    int width = 0;
    while (width < row.width && BarColour(row.pixels[width])) ++width;
    firstSeen.emplace(width, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (width == 400) break;
    std::this_thread::sleep_until(start + std::chrono::microseconds(1000 * (samples + 1)));
  }
  // Width w is due at the first tick t with ((t + 1) * 400) / limit >= w,
  // 10 ms a tick; the second width seen sets the clock.
  auto due = [&](int width) {
    int t = 0;
    while ((t + 1) * 400 / limit < width) ++t;
    return t;
  };
  if (firstSeen.size() < 2) {
    std::fprintf(stderr, "the bar did not move\n");
    return 1;
  }
  const auto second = std::next(firstSeen.begin());
  const double base = second->second - 10.0 * due(second->first);
  double worst = 0, sum = 0;
  int torn = 0;  // a width no tick gives: a frame read half drawn
  for (auto it = second; it != firstSeen.end(); ++it) {
    const double late = it->second - base - 10.0 * due(it->first);
    worst = std::max(worst, late);
    sum += late;
    torn += (due(it->first) + 1) * 400 / limit != it->first;
  }
  std::printf(
      "%zu distinct widths of %d due (%d no tick gives), %d samples; first seen after its tick: mean %.1f "
      "ms, "
      "worst %.1f ms\n",
      firstSeen.size(), std::min(limit, 400), torn, samples, sum / static_cast<double>(firstSeen.size() - 1),
      worst);
  xcb_disconnect(c);
  return 0;
}
