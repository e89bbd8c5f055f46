#!/usr/bin/env bash
# Installs what building needs, then configures and builds into build/ with
# the flags a Debian package is built with (dpkg-buildflags, every hardening
# feature on: fortify, stack protector, relro, bindnow, PIE). The tests are
# built when GoogleTest is installed; further arguments go to cmake
# (scripts/test.sh adds -DVEVEZ_TESTS=ON -DVEVEZ_WERROR=ON -DVEVEZ_BENCH=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
flag() { dpkg-buildflags --get "$1"; }
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEVEZ_CPPFLAGS="$(flag CPPFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flag CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" "$@" >/dev/null
cmake --build build -j"$(nproc)"
