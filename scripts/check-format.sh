#!/bin/sh
# Fails when a C++ source differs from what clang-format makes of it.
set -eu
cd "$(dirname "$0")/.."
files=$(find src tests bench -name '*.cpp' -o -name '*.h' | sort)
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
