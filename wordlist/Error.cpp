#include "wordlist/Error.h"

namespace vz {

Error OpenError(const std::string& path) { return Error("ファイル " + path + " は開けません"); }

Error CreateError(const std::string& path) { return Error("ファイル " + path + " を作成できません"); }

Error WriteError() { return Error("ストリームへの書き込みエラー"); }

Error WriteError(const std::string& backup) {
  return Error("ストリームへの書き込みエラー\n元の内容はファイル " + backup + " に残してあります");
}

Error IndexError(long long index) {
  return Error("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

}  // namespace vz
