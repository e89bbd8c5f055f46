#pragma once
// Errors of the program are exceptions carrying the text shown to the user
// (UTF-8). The GUI's event guard turns them into the error box.
#include <stdexcept>
#include <string>

namespace vz {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "ファイル <path> は開けません": a file could not be opened for reading.
Error OpenError(const std::string& path);
// "ファイル <path> を作成できません": a file could not be created or replaced.
Error CreateError(const std::string& path);
// "ストリームへの書き込みエラー": a write did not complete.
Error WriteError();
// The same, for a file rewritten in place whose old content is kept in
// `backup`: the message names it, so that the user can restore the file.
Error WriteError(const std::string& backup);
// "リストのインデックスが範囲を超えています (<index>)".
Error IndexError(long long index);

}  // namespace vz
