#include "wordlist/Error.h"

namespace vz {

Error OpenError(const std::string& path) { return Error("ファイル " + path + " は開けません"); }

Error CreateError(const std::string& path) { return Error("ファイル " + path + " を作成できません"); }

Error WriteError() { return Error("ストリームへの書き込みエラー"); }

Error IndexError(long long index) {
  return Error("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

}  // namespace vz
