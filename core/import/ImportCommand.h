#pragma once
// `vevez --import SOURCE [TARGET]`: converts a file and ends, before any
// window or display is needed.
#include <cstdio>
#include <optional>

namespace vz::import {

// Runs the import when the command line asks for it and returns the exit
// status (0 done, 1 failure, 2 usage); nullopt when it does not ask for it.
// The summary goes to `out`, each skipped record and any error to `err`.
std::optional<int> RunImportCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace vz::import
