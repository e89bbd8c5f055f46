#pragma once
// The program's face "ＭＳ Ｐゴシック" does not exist on Linux; IPA P Gothic is
// its metric twin. Sizes are given in pixels so the board looks the same at
// any screen resolution.
class QFont;

namespace vz {

inline constexpr const char* kUiFace = "ＭＳ Ｐゴシック";
inline constexpr int kPx20pt = 27;  // 20 points at 96 dpi
inline constexpr int kPx9pt = 12;   // 9 points at 96 dpi

// Call before any widget exists.
void InstallFontSubstitutes();
// The window font: kUiFace, `pixels` high.
QFont UiFont(int pixels);

}  // namespace vz
