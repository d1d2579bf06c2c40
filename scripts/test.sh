#!/bin/sh
# Installs what is needed, builds everything from scratch and runs every test:
#   1. the release build: unit tests and script tests (CTest)
#   2. the core tests again under AddressSanitizer + UndefinedBehaviorSanitizer
#   3. short fuzzing runs (clang's libFuzzer): preprocessing + execution of
#      scripts, and the text codecs and matchers
#   4. the formatting check
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

JOBS=$(nproc)

echo "== release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 120

echo "== sanitizer build and core tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORANE_SANITIZE=ON \
  -DSORANE_WITH_QT=OFF >/dev/null
ninja -C build-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 300

echo "== fuzzing (short run)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSORANE_FUZZ=ON -DSORANE_WITH_QT=OFF -DSORANE_SANITIZE=ON >/dev/null
ninja -C build-fuzz fuzz_run fuzz_text
mkdir -p build-fuzz/corpus build-fuzz/corpus-text
cp tests/scripts/*.srn build-fuzz/corpus/ 2>/dev/null || true
cp tests/scripts/*.srn tests/scripts/*.out build-fuzz/corpus-text/ 2>/dev/null || true
# Scripts run by the interpreter, then the text codecs and matchers on their own.
fuzz() {
  ./build-fuzz/tests/$1 -max_total_time=$3 -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    build-fuzz/$2 >build-fuzz/$1.log 2>&1 || { tail -50 build-fuzz/$1.log; exit 1; }
}
fuzz fuzz_run corpus 50
fuzz fuzz_text corpus-text 20

echo "== formatting"
./scripts/check-format.sh

echo "all tests passed"
