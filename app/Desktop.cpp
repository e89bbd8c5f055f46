#include "app/Desktop.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vz {

void PreferX11() {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb;wayland");
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

QIcon AppIcon() { return QIcon(QStringLiteral(":/vevez/vevez.svg")); }

}  // namespace vz
