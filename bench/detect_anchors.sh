#!/usr/bin/env bash
# Compares the program's encoding detection with three anchors, nkf --guess,
# uchardet and ICU's charset detector, on the same corpus of short word
# files made of real words (bench/detect_corpus.py tells which): Japanese in
# code page 932, EUC-JP and UTF-8, half-width katakana in code page 932, and
# UTF-8 words in Vietnamese, Korean, Turkish, Czech, German, Greek and
# Russian, each in files of 1, 2, 3 and 5 lines. Prints the errors of each per
# set and line count.
# Installs what it needs itself (apt-get): nkf, uchardet, libicu-dev,
# edict, skkdic and the Hunspell dictionaries the corpus is made from.
# Usage: bench/detect_anchors.sh [build/bin] [files per cell (150)] [seed (1)]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
PER=${2:-150}
SEED=${3:-1}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
need=(nkf uchardet libicu-dev edict skkdic hunspell-vi hunspell-ko hunspell-tr hunspell-cs hunspell-de-de
  hunspell-el hunspell-ru)
missing=()
for p in "${need[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
[[ -x $BIN/vevez_icu_detect ]] || { echo "no $BIN/vevez_icu_detect: configure again with libicu-dev installed"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
python3 "$HERE/detect_corpus.py" "$WORK/corpus" "$PER" "$SEED"
find "$WORK/corpus" -name '*.txt' | sort >"$WORK/files"
"$BIN/vevez_detect_files" <"$WORK/files" >"$WORK/program"
"$BIN/vevez_icu_detect" <"$WORK/files" >"$WORK/icu"
while read -r f; do echo "$f $(nkf --guess "$f" | cut -d' ' -f1)"; done <"$WORK/files" >"$WORK/nkf"
while read -r f; do echo "$f $(uchardet "$f")"; done <"$WORK/files" >"$WORK/uchardet"
# A guess is right when it names the set's encoding (any of its names).
awk -v corpus="$WORK/corpus/" '
  function truth(set) { return set ~ /cp932$/ ? "cp932" : set ~ /euc-jp$/ ? "euc-jp" : "utf-8" }
  function norm(g) {
    g = tolower(g)
    if (g ~ /^(shift_jis|cp932|windows-31j|sjis|x-sjis)$/) return "cp932"
    if (g ~ /^(euc-jp|eucjp-ms|euc-jp-ms|cp51932)$/) return "euc-jp"
    if (g ~ /^utf-?8$/) return "utf-8"
    return g
  }
  FNR == 1 { tool++ ; name[tool] = FILENAME; sub(/.*\//, "", name[tool]) }
  {
    rel = substr($1, length(corpus) + 1); split(rel, part, "/")
    key = part[1] " " part[2]; keys[key] = 1
    if (norm($2) != truth(part[1])) errors[tool, key]++
    files[tool, key]++
  }
  END {
    printf "%-10s %5s %6s %8s %6s %8s %6s\n", "set", "lines", "files", name[1], name[2], name[3], name[4]
    for (k in keys) {
      split(k, kk, " ")
      printf "%-10s %5s %6d %8d %6d %8d %6d\n", kk[1], kk[2], files[1, k], errors[1, k], errors[2, k], errors[3, k], errors[4, k] | "sort -k1,1 -k2,2n"
    }
  }' "$WORK/program" "$WORK/nkf" "$WORK/uchardet" "$WORK/icu"
