#pragma once
// The hardest words as a new word file, written by the import layer's
// writer: a normal word file, every line marked to be asked.
#include <string>
#include <vector>

#include "core/import/Import.h"
#include "core/records/Stats.h"

namespace vz::records {

// Writes `words` in their order to a new file at `target` (never over one
// that exists). A word the records kept only the beginning of is left out
// and counted as skipped. Raises Error as import::WriteWordFile does.
vz::import::Summary ExportWords(const std::vector<HardWord>& words, const std::string& target);

}  // namespace vz::records
