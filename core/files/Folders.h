#pragma once
// Folders: whether one is there, and making one with its parents.
#include <string>

namespace vz {

// True when `path` names an existing directory (following links).
bool IsDirectory(const std::string& path);

// Makes `dir` and its missing parents, private to the user (mode 0700, as the
// XDG rules ask); true when `dir` is a directory afterwards.
bool MakeDirs(const std::string& dir);

}  // namespace vz
