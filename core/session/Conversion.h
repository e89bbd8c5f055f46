#pragma once
// An unmarked file made into a new word file beside it, when the user chose
// to convert it before it is opened.
#include <cstddef>
#include <string>
#include <vector>

#include "core/import/Record.h"

namespace vz {

struct Conversion {
  // The records left out that are told by line; the count covers them all.
  static constexpr std::size_t kToldSkips = 10;

  std::string target;                      // the new word file
  std::size_t pairs = 0;                   // word lines written
  std::size_t skipped = 0;                 // records left out
  std::vector<import::Skipped> toldSkips;  // the first kToldSkips of them
};

// Converts `source` into a new word file beside it, under the first free
// name of import::DefaultTarget's form ("notes.txt", then "notes-2.txt" up to
// "notes-100.txt"). Raises Error when the conversion fails (every name taken
// included); nothing is then written.
Conversion ConvertBeside(const std::string& source);

}  // namespace vz
