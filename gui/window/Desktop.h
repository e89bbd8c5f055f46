#pragma once
// How the program meets the desktop: the display server it asks for, Qt's
// own texts in Japanese, and the icon the window and the menu entry share.
#include <QIcon>
#include <string>

namespace vz {

// Unless the user has chosen a platform (QT_QPA_PLATFORM), asks for X11
// (XWayland on a Wayland desktop), since native Wayland does not let the
// program place its dialogs. Where no X server is reachable it asks for
// Wayland first, so that nothing is printed about a failed X11 connection.
// Call before the QApplication exists.
void PreferX11();

// Whether DISPLAY names an X server that accepts a connection: a local
// display's socket is tried; a display on another host counts as reachable.
bool XServerReachable();

// Whether WAYLAND_DISPLAY (or "wayland-0"), in XDG_RUNTIME_DIR unless it is
// a full path, is a socket that accepts a connection.
bool WaylandReachable();

// The message for standard error when the program cannot show a window: the
// platforms Qt will try (QT_QPA_PLATFORM, after PreferX11) are X11 and
// Wayland only, and neither an X server nor a Wayland compositor answers.
// Empty when one answers, or when the user chose another platform or a
// display on the command line (-platform, -display): Qt then decides.
std::string MissingDisplayMessage(int argc, const char* const* argv);

// Loads Qt's own Japanese texts (file dialog, standard buttons) whatever
// the locale, and makes Japanese the default locale. False when Qt's
// Japanese translation is not installed; Qt's texts then stay English.
bool InstallJapaneseTranslations();

// On native Wayland, makes the platform load the graphics driver now; Qt
// does it anyway before the first decorated window opens (window decorations
// are offered only where a buffer integration exists). False, and nothing
// done, on other platforms. Call once the QApplication exists.
bool SetUpWaylandGraphics();

// The program's icon, drawn from the same SVG the desktop entry uses.
QIcon AppIcon();

// The desktop entry's name, without ".desktop".
inline constexpr const char* kDesktopFileName = "vevez";

}  // namespace vz
