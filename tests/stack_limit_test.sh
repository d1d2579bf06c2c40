#!/bin/sh
# Deeply nested parentheses on a small stack (ulimit -s 2048) must end with the
# nesting error and status 1, never with a crash: the depth guards measure the
# room the thread's stack really has.
#   stack_limit_test.sh SORANE
set -u
sorane=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 -c "
n = 5000
open('$work/deep.srn', 'w').write('A=' + '(' * n + '1' + ')' * n + '\nAを表示\n')
"
(ulimit -s 2048 && exec "$sorane" --console "$work/deep.srn") >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -ne 1 ]; then
  echo "exit status $status, expected 1"
  exit 1
fi
if ! grep -q '深すぎます' "$work/err"; then
  echo "no nesting error on standard error:"
  head -c 300 "$work/err"
  exit 1
fi
