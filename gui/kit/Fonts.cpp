#include "gui/kit/Fonts.h"

#include <QFont>

namespace vz {

void InstallFontSubstitutes() { QFont::insertSubstitution(kUiFace, "IPAPGothic"); }

QFont UiFont(int pixels) {
  QFont f(kUiFace);
  f.setPixelSize(pixels);
  return f;
}

}  // namespace vz
