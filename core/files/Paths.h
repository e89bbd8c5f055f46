#pragma once
// Splitting a path into its directory and its name. Paths are the file
// system's bytes: they are split at "/" only and never converted, so a name
// in any encoding comes back byte for byte.
#include <string>
#include <string_view>

namespace vz {

// The directory part of `path`: up to and including its last "/"; empty
// for a bare name.
std::string DirPart(std::string_view path);

// The name part of `path`: what follows its last "/"; the whole of a bare
// name.
std::string NamePart(std::string_view path);

// The directory that holds the entry `path` names, to be opened: the
// directory part without its last "/", "/" for an entry of the root, "."
// for a bare name.
std::string ParentDir(std::string_view path);

}  // namespace vz
