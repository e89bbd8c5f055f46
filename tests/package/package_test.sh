#!/usr/bin/env bash
# desktop-file-validate on the desktop entry, appstreamcli on the metadata
# (whose every paragraph has its Japanese),
# then `cpack -G DEB` and lintian on the package: not one tag, down to the
# informational and pedantic ones (the build files turn on the hardening
# flags themselves, so a plain CMake build passes too). The package's dependencies name
# the run-time packages dpkg-shlibdeps cannot see; its programs, and those
# `cmake --install --strip` installs (as the README shows), are stripped.
#   $1 = source directory, $2 = build directory
set -euo pipefail
src=$1
build=$2
work=$(mktemp -d /tmp/vevez-pkg.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$src/packaging/vevez.desktop" || fail "desktop entry"
metainfo=$src/packaging/io.github.vevez.vevez.metainfo.xml
appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream.log" || fail "AppStream metadata: $(cat "$work/appstream.log")"
! grep -q '^[EWIP]: ' "$work/appstream.log" || fail "AppStream metadata: $(cat "$work/appstream.log")"
(($(grep -c '<p>' "$metainfo") == $(grep -c '<p xml:lang="ja">' "$metainfo"))) || fail "a paragraph lacks its Japanese"

(cd "$build" && cpack -G DEB -B "$work") >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/vevez_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for pkg in libqt6widgets6 libqt6charts6 libsqlite3-0 libcanberra0 fonts-ipafont-gothic qt6-translations-l10n libqt6svg6 libcanberra-pulse; do
  [[ $depends == *"$pkg"* ]] || fail "Depends lacks $pkg: $depends"
done
[[ $(dpkg-deb -c "$deb") == *' ./usr/libexec/vevez/vevez-leakbox'* ]] || fail "no leak-report helper in the package"
# Every tag is shown, down to the informational and pedantic ones; any tag
# fails (a tag lintian should not apply is overridden in the package).
lintian --display-info --pedantic --fail-on error "$deb" | tee "$work/lintian.log" || fail "lintian reported errors"
! grep -q '^[EWIPX]: ' "$work/lintian.log" || fail "lintian: $(grep '^[EWIPX]: ' "$work/lintian.log")"

dpkg-deb -x "$deb" "$work/deb"
cmake --install "$build" --prefix "$work/prefix" --strip >"$work/install.log" || fail "cmake --install --strip"
for program in deb/usr/bin/vevez deb/usr/libexec/vevez/vevez-leakbox prefix/bin/vevez prefix/libexec/vevez/vevez-leakbox; do
  [[ $(file -b "$work/$program") == *', stripped'* ]] || fail "not stripped: $program: $(file -b "$work/$program")"
  ! readelf -S "$work/$program" | grep -q '\.comment' || fail "a .comment section in $program"
done
echo "PASS: $(basename "$deb")"
