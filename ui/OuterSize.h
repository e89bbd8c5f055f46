#pragma once
// Dialog sizes are given for the outer frame. The frame's width is known
// only once the window is on screen, and with some window managers a moment
// later, so the size is applied at the first show and once more just after.
#include <QSize>

class QWidget;

namespace vz {

// Call from the window's showEvent at its first show.
void FitOuterSizeOnFirstShow(QWidget* window, QSize outer);

}  // namespace vz
