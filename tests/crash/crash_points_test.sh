#!/usr/bin/env bash
# Every crash point of every save path, not a sample: one save of each kind
# (rename save of a new and of an existing file, rewrite in place of a
# hard-linked file, the settings write, an import) is traced once for its
# state-changing system calls; then, for each such call in turn, the save is
# run again and killed (SIGKILL, injected by strace) just before that call.
# Just after a call is just before the next one, or the finished save. After
# every kill the next start runs recovery and the clean-up, and the file must
# be byte for byte the old or the new content, with its owner, group, mode,
# ACL and attributes, nothing of ours left beside it or in the cache folder,
# and what the start-up box says must match what happened.
# Usage: crash_points_test.sh <crash_point program>
set -u
DRIVER=$(realpath "$1")
WORK=$(mktemp -d /tmp/vevez-points-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
CALLS=write,pwrite64,ftruncate,fallocate,fsync,fdatasync,rename,renameat2,link,linkat,unlink,unlinkat
CALLS+=,fchmod,fchown,fsetxattr,fremovexattr,mkdir,openat
FAILS=0 TOTAL=0

# Owner, group, mode and every attribute (ACL included) of $1, or "absent".
state() {
  python3 - "$1" <<'PY'
import os, sys
p = sys.argv[1]
try:
    st = os.lstat(p)
except FileNotFoundError:
    print("absent"); sys.exit()
attrs = sorted((n, os.getxattr(p, n).hex()) for n in os.listxattr(p))
print(st.st_uid, st.st_gid, oct(st.st_mode), st.st_nlink, attrs)
PY
}

content() { [[ -e $1 ]] && sha1sum <"$1" | cut -c1-40 || echo absent; }

# Sets up $W for path kind $1 and prints the command of its save.
setup() {
  rm -rf "$W" "$XDG_CACHE_HOME" && mkdir -p "$W"
  case $1 in
    new) echo "save $W/w.txt new-content" ;;
    existing | linked)
      printf 'old content\r\n' >"$W/w.txt"
      chown 5000:4242 "$W/w.txt" && chmod 0640 "$W/w.txt"
      python3 -c 'import os,sys; p=sys.argv[1]; os.setxattr(p,"user.tag",b"blue")
os.setxattr(p,"system.posix_acl_access",bytes.fromhex("0200000001000600ffffffff020006008913000004000400ffffffff10000600ffffffff20000000ffffffff"))' "$W/w.txt"
      [[ $1 == linked ]] && ln "$W/w.txt" "$W/link"
      echo "save $W/w.txt new-content-that-is-longer" ;;
    settings)
      printf '[SOFT]\r\nSPEED=5\r\nb4file=old.txt\r\n; a comment\r\n' >"$W/kobeli.ini"
      echo "settings $W/" ;;
    import)
      printf 'apple,ringo\r\npear,nashi\r\n' >"$W/src.csv"
      echo "--import $W/src.csv $W/w.txt" ;;
  esac
}

target() { [[ $1 == settings ]] && echo "$W/kobeli.ini" || echo "$W/w.txt"; }

for kind in ${KINDS:-new existing linked settings import}; do
  W="$WORK/$kind"
  # The old and the new state, from one save that runs to its end.
  cmd=$(setup "$kind"); t=$(target "$kind")
  old=$(content "$t"); meta=$(state "$t"); list=$(ls -A "$W")
  strace -f -qq -o "$WORK/trace" -e trace="$CALLS" "$DRIVER" $cmd >/dev/null 2>&1 || { echo "FAIL $kind: the save failed"; exit 1; }
  new=$(content "$t")
  [[ $kind == new || $kind == import ]] && newMeta=$(state "$t") || newMeta=$meta
  newList=$(ls -A "$W")
  points=0
  for call in ${CALLS//,/ }; do
    n=$(grep -cE "^[0-9]+ +$call\(" "$WORK/trace")
    for ((k = 1; k <= n; k++)); do
      cmd=$(setup "$kind")
      { timeout 20 strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:signal=SIGKILL:when=$k" \
        "$DRIVER" $cmd >/dev/null 2>&1; } 2>/dev/null
      said=$(timeout 20 "$DRIVER" start "$t" 2>&1)
      now=$(content "$t")
      why=""
      if [[ $now == "$old" ]]; then
        [[ $(state "$t") == "$meta" && $(ls -A "$W") == "$list" ]] ||
          why="old content, but now $(state "$t") $(ls -A "$W" | tr '\n' ' ')"
      elif [[ $now == "$new" ]]; then
        [[ $(state "$t") == "$newMeta" && $(ls -A "$W") == "$newList" ]] ||
          why="new content, but now $(state "$t") $(ls -A "$W" | tr '\n' ' ')"
      else
        why="torn: neither old nor new"
      fi
      left=$(find "$XDG_CACHE_HOME" -name '*.journal' -o -name '*.backup' -o -name '*.kept' 2>/dev/null)
      [[ -z $left ]] || why+=" left in the cache: $left"
      # The box, when there is one, names the file and says what became of it.
      if [[ -n $said ]]; then
        case $now in
          "$old") [[ $said == *"$t"*"戻しました"* || $said == *"$t"*"保存前の内容のまま"* ]] || why+=" box: $said" ;;
          "$new") [[ $said == *"$t"*"新しい内容のまま"* ]] || why+=" box: $said" ;;
        esac
      fi
      points=$((points + 1)); TOTAL=$((TOTAL + 1))
      if [[ -n $why ]]; then
        FAILS=$((FAILS + 1)); echo "FAIL $kind before $call #$k: $why"
      else
        echo "ok   $kind before $call #$k: $([[ $now == "$old" ]] && echo old || echo new)${said:+ (box)}"
      fi
    done
  done
  echo "== $kind: $points crash points"
done
echo "== $TOTAL crash points, $FAILS failed"
((FAILS == 0))
