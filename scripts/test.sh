#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. formatting: every tracked C++ file as clang-format leaves it;
#   2. no function of the program above a cognitive complexity of 25;
#   3. unit, widget, layer and end-to-end tests (CTest) on the normal build,
#      with warnings as errors and the benchmarks compiled;
#   4. the unit and widget tests again, built with AddressSanitizer and UBSan;
#   5. short libFuzzer runs over loading and saving word files, the settings
#      file layer, the import readers and encoding detection.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/install-deps.sh test

echo "== formatting =="
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "formatting: clean"

# Warnings are errors here, and the benchmarks are built so they keep
# compiling; the build has the Debian package's flags (scripts/build.sh).
bash scripts/build.sh -DVEVEZ_TESTS=ON -DVEVEZ_WERROR=ON -DVEVEZ_BENCH=ON

echo "== function complexity =="
bash scripts/complexity.sh build

echo "== tests =="
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== unit and widget tests under address and undefined-behaviour sanitizers =="
san="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -DVEVEZ_CORE_ONLY=OFF -DVEVEZ_TESTS=ON -DVEVEZ_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" >/dev/null
cmake --build build-asan -j"$jobs" --target unit_tests widget_tests
# The widget tests run offscreen (set by CTest); they need no leak suppressions.
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -L 'unit|widget'

echo "== fuzzing word files (20 s), the settings file layer (10 s), the import readers and encoding detection (5 s each) =="
cmake -S . -B build-fuzz -DVEVEZ_CORE_ONLY=ON -DVEVEZ_TESTS=ON -DVEVEZ_FUZZ=ON -DVEVEZ_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$jobs" --target wordfile_fuzz settings_fuzz import_fuzz detect_fuzz
mkdir -p build-fuzz/corpus build-fuzz/corpus-settings
cp data/word.txt build-fuzz/corpus/ 2>/dev/null || true
# A failing input is written to build-fuzz/crash-*, not into the source tree.
fuzz() {
  build-fuzz/bin/"$1" -max_total_time="$2" -print_final_stats=1 -artifact_prefix=build-fuzz/ "$3"
  echo "fuzz: $1 found no failure in $2 s"
}
fuzz wordfile_fuzz 20 build-fuzz/corpus
fuzz settings_fuzz 10 build-fuzz/corpus-settings
mkdir -p build-fuzz/import-corpus
printf '"ネコ","cat; kitty"\r\n"a,b",x\r\n"two\nlines",ok,""""\n' > build-fuzz/import-corpus/seed.csv
printf '#separator:tab\n#html:true\n#tags column:3\n<b>猫</b>&amp;\tcat<br>[sound:a.mp3]\tt\n' > build-fuzz/import-corpus/anki.txt
fuzz import_fuzz 5 build-fuzz/import-corpus
mkdir -p build-fuzz/corpus-detect
fuzz detect_fuzz 5 build-fuzz/corpus-detect
