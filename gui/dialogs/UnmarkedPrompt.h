#pragma once
// The window's question about a loaded file that has lines but not one state
// mark: quizzing it would overwrite the first character of each line.
#include <string>

class QWidget;

namespace vz::import {

enum class UnmarkedChoice { Convert, AsIs, Cancel };

// Asks, in a plain box, whether to convert the file at `path` (file-system
// bytes) to a new word file beside it, use it as it is, or leave it.
UnmarkedChoice AskAboutUnmarked(QWidget* parent, const std::string& path);

// Converts `source` into a new word file beside it, under the first name of
// DefaultTarget's form that is free, and returns that name. Records that were
// left out are told in a box. Raises Error when the conversion fails.
std::string ConvertBeside(QWidget* parent, const std::string& source);

}  // namespace vz::import
