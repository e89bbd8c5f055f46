#!/usr/bin/env bash
# Installs the Debian packages from scripts/packages.txt that are not
# installed yet: `build` those of its [build] section, `test` (the default)
# those of both sections.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
want=${1:-test}
[[ $want == build || $want == test ]] || { echo "usage: install-deps.sh [build|test]" >&2; exit 2; }
missing=()
section=build
while read -r pkg; do
  [[ -z $pkg || $pkg == \#* ]] && continue
  if [[ $pkg == \[*\] ]]; then
    section=${pkg:1:-1}
    continue
  fi
  [[ $section == build || $want == test ]] || continue
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$pkg")
done < "$here/packages.txt"
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
