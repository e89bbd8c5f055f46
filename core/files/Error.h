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

// The reason behind the system error `err`, in Japanese, as the C library
// says it; empty for 0.
std::string ReasonText(int err);

// Each message below starts with its fixed first line; a reason the system
// gave (`err` other than 0) follows on a line of its own.
// "ファイル <path> は開けません": a file could not be opened for reading.
Error OpenError(const std::string& path, int err = 0);
// "ファイル <path> を作成できません": a file could not be created or replaced.
Error CreateError(const std::string& path, int err = 0);
// The same, for a file with no write bit for anyone, which is never written.
Error ReadOnlyError(const std::string& path);
// "ファイル <path> は既にあります。上書きしません": a new file's name is taken.
Error ExistsError(const std::string& path);
// The same, for a file to be rewritten in place whose backup could not be
// made in the folder `backupDir`: the message names that folder.
Error BackupError(const std::string& path, const std::string& backupDir, int err);
// "ストリームへの書き込みエラー": a write did not complete; the file written
// to and why it failed follow on a line of their own. A file rewritten
// in place whose old content could not be put back names `backup` too, so
// that the user can restore the file.
Error WriteError(const std::string& path, int err, const std::string& backup = {});
// What the user is told at start-up about a rewrite in place that did not
// finish: whether `file` was put back, or where its old content is.
std::string InterruptedRewriteMessage(const std::string& file, const std::string& backup, bool restored);
// "リストのインデックスが範囲を超えています (<index>)".
Error IndexError(long long index);

}  // namespace vz
