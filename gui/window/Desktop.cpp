#include "gui/window/Desktop.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QOpenGLContext>
#include <QTranslator>

namespace vz {

namespace {

bool AcceptsConnection(const std::string& socketPath, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (socketPath.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, socketPath.data(), socketPath.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + socketPath.size());
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool XServerReachable() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  std::string_view name(display);
  if (name.starts_with("unix:")) name.remove_prefix(4);
  // Another host, or a path a launcher gave: only the connection can tell.
  if (name.front() != ':') return true;
  const std::string_view number = name.substr(1, name.find('.') - 1);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) return true;
  const std::string socketPath = "/tmp/.X11-unix/X" + std::string(number);
  return AcceptsConnection(socketPath, true) || AcceptsConnection(socketPath, false);
}

bool WaylandReachable() {
  const QByteArray name = qgetenv("WAYLAND_DISPLAY");
  const std::string socket = name.isEmpty() ? "wayland-0" : name.toStdString();
  if (socket.front() == '/') return AcceptsConnection(socket, false);
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && AcceptsConnection(runtime.toStdString() + "/" + socket, false);
}

std::string MissingDisplayMessage(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg == "-platform" || arg == "-display" || arg == "--platform" || arg == "--display") return {};
  }
  for (const QByteArray& choice : qgetenv("QT_QPA_PLATFORM").split(';')) {
    const QByteArray platform = choice.split(':').first();  // without its options
    const bool x11 = platform == "xcb", wayland = platform.startsWith("wayland");
    if (!x11 && !wayland) return {};
    if ((x11 && XServerReachable()) || (wayland && WaylandReachable())) return {};
  }
  return "vevez: 画面に接続できないため、ウィンドウを表示できません。\n"
         "X サーバー (DISPLAY) にも Wayland コンポジター (WAYLAND_DISPLAY) にも接続できませんでした。\n";
}

void PreferX11() {
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;
  // Where no X server answers, Wayland straight away: trying X11 first
  // would only print Qt's warnings about the failed connection.
  qputenv("QT_QPA_PLATFORM", XServerReachable() ? "xcb;wayland" : "wayland;xcb");
}

bool InstallJapaneseTranslations() {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  // Owned by the application, so it lives as long as the texts it gives.
  auto* qt = new QTranslator(QCoreApplication::instance());
  if (!qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  return QCoreApplication::installTranslator(qt);
}

bool SetUpWaylandGraphics() {
  // "wayland", or a variant such as "wayland-egl".
  if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return false;
  // Asking whether contexts may be used from threads makes the Wayland
  // platform set up its buffer integration, and with it the driver.
  QOpenGLContext::supportsThreadedOpenGL();
  return true;
}

QIcon AppIcon() { return QIcon(QStringLiteral(":/vevez/vevez.svg")); }

}  // namespace vz
