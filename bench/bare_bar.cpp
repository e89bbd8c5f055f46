// The least a Qt Widgets program spends drawing a time bar at 100 Hz: a plain
// window with one 10 ms timer whose every tick grows a 400-pixel bar by the
// tick's share of the limit and asks for a repaint of the bar's rectangle
// only. No backing image, no text, no history: the bare cost of waking, a
// paint event and the X11 round trip. bench/tick_cpu.sh runs it after each
// run of the program on the same display, with the same limit.
// Usage: vevez_bare_bar [seconds (10)] [limit in ticks (1000)]
// Prints the CPU time, the time that passed (both in nanoseconds) and the
// times the process slept and was woken, from the first tick on.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

rusage Usage() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return use;
}

long long CpuNs(const rusage& use) {
  return ((use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000000LL + use.ru_utime.tv_usec +
          use.ru_stime.tv_usec) *
         1000;
}

class Bar : public QWidget {
 public:
  explicit Bar(int limit) : limit_(limit) { setFixedSize(456, 120); }
  int ticks = 0;

  void Tick() {
    ++ticks;
    update(kBar);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const int shown = ticks % limit_ + 1;
    const int width = shown * kBar.width() / limit_;
    const int red = shown * 255 / limit_;
    p.fillRect(kBar, Qt::white);
    p.fillRect(kBar.x(), kBar.y(), width, kBar.height(), QColor(red, 0, 255 - red));
  }

 private:
  static constexpr QRect kBar{28, 52, 400, 16};
  int limit_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  const int limit = argc > 2 ? std::atoi(argv[2]) : 1000;
  Bar bar(limit > 0 ? limit : 1000);
  bar.setWindowTitle("bare bar");
  bar.show();
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &bar, &Bar::Tick);
  rusage start{};
  QElapsedTimer clock;
  // Half a second for the window to map and settle, as the program gets.
  QTimer::singleShot(500, [&] {
    start = Usage();
    clock.start();
    timer.start(10);
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
      const rusage end = Usage();
      std::printf("%lld %lld %ld\n", CpuNs(end) - CpuNs(start), clock.nsecsElapsed(),
                  end.ru_nvcsw - start.ru_nvcsw);
      app.quit();
    });
  });
  return app.exec();
}
