#include "core/files/Error.h"

#include "core/files/Recovery.h"

#include <cerrno>
#include <cstring>

namespace vz {
namespace {

std::string WithReason(std::string text, int err) {
  const std::string reason = ReasonText(err);
  return reason.empty() ? text : text + ".\n" + reason;
}

}  // namespace

std::string ReasonText(int err) {
  switch (err) {
    case 0:
      return {};
    case kNotAFile:
      return "通常のファイルではありません";
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
  return Error("ファイル " + path + " を作成できません.\n読み取り専用のファイルです");
}

Error ExistsError(const std::string& path) {
  return Error("ファイル " + path + " は既にあります。上書きしません");
}

Error BackupError(const std::string& path, const std::string& backupDir, int err) {
  return Error(WithReason(
      "ファイル " + path + " を作成できません.\nバックアップ用のフォルダ " + backupDir + " に書き込めません",
      err));
}

ChangedOnDiskError::ChangedOnDiskError(const std::string& path)
    : Error("ファイル " + path + " は別のプログラムによって変更されたため、上書きしませんでした。") {}

Error WriteError(const std::string& path, int err, const std::string& backup) {
  std::string text = "ストリームへの書き込みエラー.\nファイル " + path;
  if (const std::string reason = ReasonText(err); !reason.empty()) text += "\n" + reason;
  if (!backup.empty()) text += "\n元の内容はファイル " + backup + " に残してあります";
  return Error(text);
}

std::string InterruptedRewriteMessage(const InterruptedRewrite& r) {
  using Outcome = InterruptedRewrite::Outcome;
  if (r.outcome == Outcome::kRestored)
    return "ファイル " + r.file + " の保存は途中で止まっていました。\n保存前の内容に戻しました。";
  if (r.outcome == Outcome::kUnchanged) {
    return "ファイル " + r.file + " の保存は途中で止まっていました。\nファイルは保存前の内容のままです。";
  }
  if (r.outcome == Outcome::kFinished) {
    return "ファイル " + r.file + " の保存は終わっていました。\n新しい内容のままです。";
  }
  std::string text =
      r.outcome == Outcome::kIgnored
          ? "保存の記録 " + r.file + " には従いませんでした。\n" + r.why
          : "ファイル " + r.file + " の保存は途中で止まっていました。\n何も書き込んでいません: " + r.why;
  if (!r.backup.empty()) return text + "\n元の内容はファイル " + r.backup + " に残してあります";
  return r.outcome == Outcome::kIgnored ? text : text + "\nバックアップは削除されていました";
}

Error IndexError(long long index) {
  return Error("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

}  // namespace vz
