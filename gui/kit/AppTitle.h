#pragma once
// The application title: the caption of the program's own message boxes.

namespace vz {

inline constexpr const char* kAppTitle = "VeveZプログラム";

}  // namespace vz
