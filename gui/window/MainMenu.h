#pragma once
// The main window's menu `MainMenu1`: its items, their names, captions and
// shortcuts. The window supplies what each item runs.
#include <functional>

class QMainWindow;

namespace vz {

// The item handlers, each run inside the error guard.
struct MenuCommands {
  std::function<void()> OpenClick;   // File1 > Open: another word file
  std::function<void()> S1Click;     // File1 > S1: start
  std::function<void()> N3Click;     // File1 > N3: stop
  std::function<void()> Exit1Click;  // File1 > Exit1: end
  std::function<void()> A1Click;     // Edit2 > A1: the word editor
  std::function<void()> O1Click;     // Edit2 > O1: the options dialog
  std::function<void()> R1Click;     // Edit2 > R1: the learning records
};

// Builds the menu bar of `window`, inside the window (Qt's own, never one
// exported over D-Bus).
void BuildMainMenu(QMainWindow* window, const MenuCommands& commands);

}  // namespace vz
