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
// The reason for a file that is there but is neither a regular file nor a
// directory (a FIFO, a device, a socket): no system error says it.
inline constexpr int kNotAFile = -1;

// Each message below starts with its fixed first line, ended by a full stop
// when more follows; a reason the system gave (`err` other than 0) follows
// on a line of its own.
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
// "ファイル <path> は別のプログラムによって変更されたため、上書きしませんでした。":
// another writer replaced the file while a save was publishing; its file stays.
class ChangedOnDiskError : public Error {
 public:
  explicit ChangedOnDiskError(const std::string& path);
};
// "ストリームへの書き込みエラー": a write did not complete; the file written
// to and why it failed follow on a line of their own. A file rewritten
// in place whose old content could not be put back names `backup` too, so
// that the user can restore the file.
Error WriteError(const std::string& path, int err, const std::string& backup = {});
// What the user is told at start-up about a rewrite in place that did not
// finish (Recovery.h): what became of the file and why, and where its old
// content is kept, or that the backup was removed.
struct InterruptedRewrite;
std::string InterruptedRewriteMessage(const InterruptedRewrite& r);
// "リストのインデックスが範囲を超えています (<index>)".
Error IndexError(long long index);

}  // namespace vz
