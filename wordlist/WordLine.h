#pragma once
// The word-line format: byte 1 is the state mark ("0" to be asked, "1"
// answered in this pass, ";" comment), then the question up to the first
// ",", then the answers (alternatives separated by ";").
#include <string>
#include <string_view>
#include <vector>

namespace vz {

struct SplitLine {
  std::string question;
  std::string answers;
};

// Question: bytes 2 .. first comma - 1. Answers: everything after the first
// comma; the whole line (state mark included) when there is no comma.
SplitLine Split(std::string_view line);

// mark + question + "," + answers.
std::string Join(std::string_view mark, std::string_view question, std::string_view answers);

// Not empty, and the first byte is neither "1" nor ";".
bool Askable(std::string_view line);

// Splits file text into lines. A line ends at CR, LF or CR LF; a final line
// end adds no empty line; a NUL ends the text. `bytesAfterNul` (optional)
// tells whether anything followed that NUL.
std::vector<std::string> SplitLines(std::string_view text, bool* bytesAfterNul = nullptr);

// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace vz
