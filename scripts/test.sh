#!/bin/sh
# Installs what is needed, builds everything and runs every test:
#   1. the layer check: no include under src/ crosses a layer the wrong way
#   2. the release build (gcc, guided by a profile): unit tests, Qt host tests
#      and script tests (CTest)
#   3. one clang build with AddressSanitizer + UndefinedBehaviorSanitizer whose
#      core is also instrumented for libFuzzer: the unit tests and the script
#      tests under the sanitizers, then short fuzzing runs (clang's libFuzzer),
#      side by side: preprocessing + execution of scripts, the text codecs and
#      matchers, and the archive readers (FileMix, packed executables,
#      scrambled files)
#   4. the caches: the script tests with and without the run-time's caches,
#      and a fuzzing run that compares both on every input
#   5. the formatting check
# The build folders (build/, build-profile/, build-san/) are kept, so a second
# run builds only what changed; ccache, when installed, serves objects already
# compiled once.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

JOBS=$(nproc)

echo "== layer check"
python3 ./scripts/check-layers.py

echo "== release build and tests"
# (Built as the README's build is: guided by the profile of the training
# scripts, see scripts/build.sh.)
./scripts/build.sh
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 300

echo "== sanitizer build: core tests and script tests"
# Line tables only: sanitizer reports keep file:line of every frame (inlined ones
# too) and the core compiles faster than with full debug information; -O2 keeps
# the fuzzers' speed. The tests of this tree build as in every tree (-O0 -g1).
CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only" \
  -DSORANE_SANITIZE=ON -DSORANE_FUZZ=ON -DSORANE_WITH_QT=OFF >/dev/null
ninja -C build-san -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-san --output-on-failure -j "$JOBS" --timeout 600

echo "== caches: every script test with and without them, and a differential fuzzing run"
# The run-time's caches may only make scripts faster: each script test runs
# with them and with SORANE_NO_CACHE=1, and output, error log and exit status
# must be the same (on the release build and on the sanitizer build).
python3 ./scripts/cache-differential.py build/sorane "$JOBS"
python3 ./scripts/cache-differential.py build-san/sorane "$JOBS"

echo "== fuzzing (short runs)"
mkdir -p build-san/corpus build-san/corpus-text build-san/corpus-pack
cp tests/scripts/*/*.srn build-san/corpus/
cp tests/scripts/*/*.srn tests/scripts/*/*.out build-san/corpus-text/
# A seed archive: one entry "A.TXT" holding "data".
python3 -c 'import struct,sys; sys.stdout.buffer.write(b"fMix\x01\x01\x00"+struct.pack("<i",280)+b"A.TXT".ljust(256,b"\0")+struct.pack("<IIB",276,4,0)+b"data")' \
  >build-san/corpus-pack/seed.fmx
# Scripts run by the interpreter, the text codecs and matchers, and the archive
# readers on their own; each fuzzer is one process, so they run at the same time.
fuzz() {
  ./build-san/tests/$1 -max_total_time=$3 -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    build-san/$2 >build-san/$1.log 2>&1
}
fuzz fuzz_run corpus 50 &
run_pid=$!
fuzz fuzz_text corpus-text 20 &
text_pid=$!
fuzz fuzz_pack corpus-pack 15 &
pack_pid=$!
failed=""
wait $run_pid || failed="$failed fuzz_run"
wait $text_pid || failed="$failed fuzz_text"
wait $pack_pid || failed="$failed fuzz_pack"
# Each input run with the caches and without them (fuzz_cache_diff.cpp).
mkdir -p build-san/corpus-cache
cp tests/scripts/*/*.srn build-san/corpus-cache/
fuzz fuzz_cache_diff corpus-cache 40 || failed="$failed fuzz_cache_diff"
for f in $failed; do
  echo "-- $f failed:"
  tail -50 build-san/$f.log
done
[ -z "$failed" ]

echo "== formatting"
./scripts/check-format.sh

echo "all tests passed"
