#pragma once
// A top-level window that keeps one size: not only does Qt refuse to resize
// it, the window manager is told so too, and offers no resizing.

class QWidget;

namespace vz {

// Fixes `window` at its size hint. Call once its contents are built.
void FixWindowSize(QWidget* window);

// On X11, takes resizing out of the window's Motif hints (which Qt sets for
// every framed window, whatever its size limits). Call when the native
// window exists, before it is mapped: from showEvent.
void DropResizeHint(QWidget* window);

}  // namespace vz
