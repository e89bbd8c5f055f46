#pragma once
// The warning box that vevez-leakbox shows for the leak report.

#include <QString>
#include <memory>
#include <optional>

class QMessageBox;

namespace vz::memcheck {

// "メモリーリークエラー"
QString LeakBoxCaption();

// The count in decimal followed by " 回メモリーを解放し忘れています".
QString LeakBoxText(int count);

// The helper's one argument: a decimal count that fits in an int, nothing
// else around it. nullopt for anything else.
std::optional<int> ParseCount(const char* arg);

// The box uses the program's dialog face ("ＭＳ Ｐゴシック" at 12 px), which
// Linux knows only through its IPA P Gothic stand-in.
// Before the QApplication exists:
void InstallLeakBoxFont();
// Once it exists:
void UseLeakBoxFont();

// A warning box with no owner window, the caption and text above and one OK
// button. Needs a QApplication.
std::unique_ptr<QMessageBox> MakeLeakBox(int count);

}  // namespace vz::memcheck
