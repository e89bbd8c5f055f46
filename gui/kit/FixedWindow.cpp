#include "gui/kit/FixedWindow.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QLayout>
#include <QWidget>
#include <cstdint>
#include <cstdlib>

namespace vz {
namespace {

// The Motif window-manager hints: five 32-bit words.
constexpr std::uint32_t kHintsFunctions = 1u << 0, kHintsDecorations = 1u << 1;
constexpr std::uint32_t kFunctionAll = 1u << 0, kFunctionResize = 1u << 1;
constexpr std::uint32_t kDecorationAll = 1u << 0, kDecorationResizeHandle = 1u << 2;

}  // namespace

void FixWindowSize(QWidget* window) {
  if (QLayout* layout = window->layout()) layout->setSizeConstraint(QLayout::SetFixedSize);
  window->setFixedSize(window->sizeHint());
}

void DropResizeHint(QWidget* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection()) return;
  xcb_connection_t* c = x11->connection();
  const auto id = static_cast<xcb_window_t>(window->winId());
  static constexpr char kName[] = "_MOTIF_WM_HINTS";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  std::uint32_t hints[5] = {0, 0, 0, 0, 0};
  if (xcb_get_property_reply_t* reply =
          xcb_get_property_reply(c, xcb_get_property(c, 0, id, atom->atom, atom->atom, 0, 5), nullptr)) {
    if (reply->format == 32 && xcb_get_property_value_length(reply) == 20) {
      const auto* words = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
      for (int i = 0; i < 5; ++i) hints[i] = words[i];
    }
    std::free(reply);
  }
  // "All" means every function or decoration but the ones listed: spell
  // them out so that resizing can be left out.
  if (!(hints[0] & kHintsFunctions) || (hints[1] & kFunctionAll)) hints[1] = 0x3e;
  if (!(hints[0] & kHintsDecorations) || (hints[2] & kDecorationAll)) hints[2] = 0x7e;
  hints[0] |= kHintsFunctions | kHintsDecorations;
  hints[1] &= ~kFunctionResize;
  hints[2] &= ~kDecorationResizeHandle;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom->atom, atom->atom, 32, 5, hints);
  xcb_flush(c);
  std::free(atom);
}

}  // namespace vz
