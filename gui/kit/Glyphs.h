#pragma once
// The pictures on the main window's buttons, 18 x 18 pixels, each with a
// greyed picture for the disabled state.
#include <QIcon>

namespace vz {

QIcon QuestionGlyph();  // teal question mark (AnsBtn)
QIcon CrossGlyph();     // red cross (SkipBtn)

}  // namespace vz
