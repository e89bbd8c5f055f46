#include "core/files/Error.h"

#include <cerrno>
#include <cstring>

namespace vz {
namespace {

std::string WithReason(std::string text, int err) {
  const std::string reason = ReasonText(err);
  return reason.empty() ? text : text + "\n" + reason;
}

}  // namespace

std::string ReasonText(int err) {
  switch (err) {
    case 0:
      return {};
    case EACCES:
      return "許可がありません";
    case EPERM:
      return "許可されていない操作です";
    case EROFS:
      return "読み込み専用ファイルシステムです";
    case ENOSPC:
      return "デバイスに空き領域がありません";
    case EDQUOT:
      return "ディスク使用量制限を超えました";
    case EFBIG:
      return "ファイルが大きすぎます";
    case ENAMETOOLONG:
      return "ファイル名が長すぎます";
    case EILSEQ:
    case EINVAL:
      return "この名前はファイルシステムに保存できません";
    case ENOENT:
      return "そのようなファイルやディレクトリはありません";
    case ENOTDIR:
      return "ディレクトリではありません";
    case EISDIR:
      return "ディレクトリです";
    case EIO:
      return "入力/出力エラーです";
    case EOPNOTSUPP:
      return "サポートされていない操作です";
    default:
      return std::strerror(err);
  }
}

Error OpenError(const std::string& path, int err) {
  return Error(WithReason("ファイル " + path + " は開けません", err));
}

Error CreateError(const std::string& path, int err) {
  return Error(WithReason("ファイル " + path + " を作成できません", err));
}

Error ReadOnlyError(const std::string& path) {
  return Error("ファイル " + path + " を作成できません\n読み取り専用のファイルです");
}

Error ExistsError(const std::string& path) {
  return Error("ファイル " + path + " は既にあります。上書きしません");
}

Error BackupError(const std::string& path, const std::string& backupDir, int err) {
  return Error(WithReason(
      "ファイル " + path + " を作成できません\nバックアップ用のフォルダ " + backupDir + " に書き込めません",
      err));
}

Error WriteError(const std::string& path, int err, const std::string& backup) {
  std::string text = "ストリームへの書き込みエラー\nファイル " + path;
  if (const std::string reason = ReasonText(err); !reason.empty()) text += ": " + reason;
  if (!backup.empty()) text += "\n元の内容はファイル " + backup + " に残してあります";
  return Error(text);
}

std::string InterruptedRewriteMessage(const std::string& file, const std::string& backup, bool restored) {
  const std::string first = "ファイル " + file + " の保存は途中で止まっていました。\n";
  return restored ? first + "保存前の内容に戻しました。"
                  : first + "元に戻せませんでした。元の内容はファイル " + backup + " に残してあります";
}

Error IndexError(long long index) {
  return Error("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

}  // namespace vz
