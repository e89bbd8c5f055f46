#include "core/import/ImportCommand.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/files/Error.h"
#include "core/import/Import.h"

namespace vz::import {
namespace {

constexpr char kImportUsage[] =
    "使い方: vevez --import 元のファイル [単語ファイル] [--columns A,B] [--readings]\n"
    "CSV、TSV (Anki の書き出しを含む)、KDE の .kvtml、EDICT、「問題,答え」の行を新しい単語ファイルに\n"
    "変換して終了します。単語ファイルを省くと、元のファイルの隣に拡張子を .txt にして作ります。\n"
    "既にあるファイルは上書きしません。\n"
    "  --columns A,B  問題と答えにする言語 (.kvtml) または列の番号 (CSV/TSV)\n"
    "  --readings     EDICT の読みも答えとして認めます\n";

}  // namespace

std::optional<int> RunImportCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  bool asked = false;
  for (int i = 1; i < argc; ++i) asked = asked || std::string_view(argv[i]) == "--import";
  if (!asked) return std::nullopt;
  Options options;
  std::vector<std::string> files;
  std::string bad;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--import") continue;
    if (a == "--readings") {
      options.readings = true;
    } else if (a == "--columns" && i + 1 < argc) {
      options.columns = argv[++i];
    } else if (a.starts_with("--columns=")) {
      options.columns = a.substr(10);
    } else if (a.starts_with("-") && a != "-") {
      bad = "不明なオプション " + std::string(a);
    } else {
      files.emplace_back(a);
    }
  }
  if (bad.empty() && (files.empty() || files.size() > 2)) bad = "元のファイルを一つ指定してください";
  if (!bad.empty()) {
    std::fprintf(err, "vevez: %s\n%s", bad.c_str(), kImportUsage);
    return 2;
  }
  const std::string target = files.size() == 2 ? files[1] : DefaultTarget(files[0]);
  try {
    const Summary s = ImportFile(files[0], target, options, [&](const Skipped& skip) {
      std::fprintf(err, "%s:%zu: 飛ばしました: %s\n", files[0].c_str(), skip.line, skip.why.c_str());
    });
    std::fprintf(out, "%s: %zu 語を書き込みました (重複 %zu)、飛ばした記録 %zu、文字コード %s (%s)\n",
                 target.c_str(), s.pairs, s.duplicates, s.skipped, EncodingName(s.encoding),
                 FormatName(s.format));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(err, "vevez: %s\n", e.what());
    return 1;
  }
}

}  // namespace vz::import
