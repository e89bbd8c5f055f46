#pragma once
// How the program meets the desktop: the display server it asks for, Qt's
// own texts in Japanese, and the icon the window and the menu entry share.
#include <QIcon>

namespace vz {

// Unless the user has chosen a platform (QT_QPA_PLATFORM), asks for X11
// (XWayland on a Wayland desktop) and falls back to Wayland only where no X
// server is reachable: native Wayland does not let the program place its
// dialogs, and Qt's window decorations there leave blocks that the leak
// report would count. Call before the QApplication exists.
void PreferX11();

// Loads Qt's own Japanese texts (file dialog, standard buttons) whatever
// the locale, and makes Japanese the default locale. False when Qt's
// Japanese translation is not installed; Qt's texts then stay English.
bool InstallJapaneseTranslations();

// The program's icon, drawn from the same SVG the desktop entry uses.
QIcon AppIcon();

// The desktop entry's name, without ".desktop".
inline constexpr const char* kDesktopFileName = "vevez";

}  // namespace vz
