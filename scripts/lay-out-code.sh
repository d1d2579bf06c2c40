#!/bin/sh
# Lays out the machine code of the profile-guided executable by how the
# training scripts run it (LLVM's BOLT): the blocks a statement, a call or an
# expression runs are placed one after the other and the functions that call
# each other side by side, the blocks never run set apart. The interpreter's
# hot path runs through dozens of functions, far more code than the
# first-level instruction cache holds; where the compiler and the linker leave
# it depends on every change made anywhere, and cost up to a tenth of a
# recursive call's time. Run by the build after the executable is linked
# (with --emit-relocs, so every reference can be moved):
#   scripts/lay-out-code.sh LLVM-BOLT SORANE WORK-FOLDER
# 1. a first pass lists the functions BOLT cannot take whole, 2. an
# instrumented copy of SORANE is made, 3. the training scripts run with it
# (scripts/train-profile.sh), each run writing the counts of the branches it
# took, 4. SORANE is rewritten from the merged counts, in place.
set -eu
bolt=$1
sorane=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/runs"
# A function the compiler split in two that BOLT cannot take as a whole is
# "ignored" by it, yet its jump tables would still be moved from under it (an
# exception thrown then crashed in the C++ library's unwinding code): such
# functions are found by a first pass and left out of every pass by name.
"$bolt" "$sorane" -o "$work/probe" -v=1 >"$work/probe.log" 2>&1 || {
  cat "$work/probe.log"
  exit 1
}
skip=$(sed -n 's/^BOLT-WARNING: Ignoring \([^(]*\).*/\1/p' "$work/probe.log" | paste -sd, -)
rm -f "$work/probe"
# (BOLT's instrumentation run-time is found beside it: the tools of one LLVM.)
"$bolt" "$sorane" -instrument -o "$work/instrumented" -skip-funcs="$skip" \
  --instrumentation-file="$work/runs/run" --instrumentation-file-append-pid >"$work/instrument.log" 2>&1 || {
  cat "$work/instrument.log"
  exit 1
}
"$here/train-profile.sh" "$work/instrumented" "$work/no-counts"
set -- "$work"/runs/run.*.fdata
[ -f "$1" ] || {
  echo "the instrumented training runs left no counts in $work/runs"
  exit 1
}
"$(dirname "$bolt")/merge-fdata" "$@" >"$work/training.fdata" 2>"$work/merge.log" || {
  cat "$work/merge.log"
  exit 1
}
# The debug information is not carried over (the symbols are): rewritten for
# the new addresses it takes forms that valgrind's reader and older debuggers
# cannot read.
"$bolt" "$sorane" -data="$work/training.fdata" -o "$work/laid-out" -skip-funcs="$skip" \
  -reorder-blocks=ext-tsp -reorder-functions=hfsort+ -split-functions -split-all-cold \
  -use-gnu-stack >"$work/layout.log" 2>&1 || {
  cat "$work/layout.log"
  exit 1
}
chmod --reference="$sorane" "$work/laid-out"
mv -f "$work/laid-out" "$sorane"
rm -f "$work/instrumented"
