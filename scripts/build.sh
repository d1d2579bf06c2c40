#!/bin/sh
# Builds sorane into build/ (release with debug information), guided by a
# profile: the executable is first built instrumented in build-profile/ (the
# core and the console host only), runs the training scripts, and the build
# proper is compiled with the counts they left (see SORANE_PROFILE_USE in
# CMakeLists.txt). A second run compiles again only what changed.
set -eu
cd "$(dirname "$0")/.."
counts=$PWD/build-profile/counts
cmake -S . -B build-profile -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORANE_WITH_QT=OFF \
  -DSORANE_PROFILE_GENERATE="$counts" >/dev/null
ninja -C build-profile sorane
./scripts/train-profile.sh build-profile/sorane "$counts"
# The counts are named after the objects relative to the build folder, which
# is how the build proper looks for them.
[ -f "$counts/CMakeFiles#sorane_core.dir#src#runtime#statement.cpp.gcda" ] || {
  echo "the training left no counts under the names the build looks for ($counts)"
  exit 1
}
id=$(cd "$counts" && find . -name '*.gcda' | sort | xargs cat | sha256sum | cut -c1-16)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSORANE_PROFILE_USE="$counts" -DSORANE_PROFILE_ID="$id" >/dev/null
ninja -C build
