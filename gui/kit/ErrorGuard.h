#pragma once
// Every event handler runs inside Guard: an error ends the handler where it
// was raised, is shown in the program's error box, and the event loop goes
// on. No exception ever crosses a Qt frame.
#include <QString>
#include <exception>
#include <utility>

#include "gui/kit/AppTitle.h"

class QWidget;

namespace vz {

// The error text as the box shows it: "." appended when the last character
// sorts after "." (every Japanese character does, ")" does not).
QString ErrorBoxText(const std::string& message);

// Shows the stop box with caption kAppTitle. While one box is up, a further
// error (say, from a timer tick) does not stack a second box.
void ShowErrorBox(const std::string& message);

// The owner of error boxes, when one is on screen; nullptr gives none.
void SetErrorBoxParent(QWidget* parent);

template <class F>
void Guard(F&& handler) noexcept {
  try {
    std::forward<F>(handler)();
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
  } catch (...) {
    ShowErrorBox("unknown error");
  }
}

}  // namespace vz
