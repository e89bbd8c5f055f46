#pragma once
// Every event handler runs inside Guard: an error ends the handler where it
// was raised, is shown in the program's error box, and the event loop goes
// on. No exception ever crosses a Qt frame.
#include <QString>
#include <concepts>
#include <exception>
#include <utility>

#include "gui/kit/AppTitle.h"

class QWidget;

namespace vz {

// The error text as the box shows it: "." appended to its first line when
// that line's last character sorts after "." (every Japanese character
// does, ")" does not); a reason on the lines below follows unchanged.
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

// A slot that runs `handler` inside Guard, to connect to a signal:
// connect(button, &QPushButton::clicked, this, Guarded([this] { ... })).
// The signal's arguments reach a handler that takes them; Qt drops them for
// one that does not (the constraint tells Qt which it is).
template <class F>
auto Guarded(F handler) {
  return [handler = std::move(handler)](auto&&... args) requires std::invocable<const F&, decltype(args)...> {
    Guard([&] { handler(std::forward<decltype(args)>(args)...); });
  };
}

}  // namespace vz
