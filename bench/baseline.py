"""The Python 3 the benchmarks compare with.

The comparison is with CPython as a user of the machine runs it: the
system's python3 (on Debian, /usr/bin/python3), not the interpreter that
happens to run these scripts. A Python installed beside it (pyenv, a virtual
environment) may load extra modules at every start through .pth files in its
site-packages; one such file made every Python run here ~45 ms slower, which
is more than most of the benchmarks take in Sorane. BENCH_PYTHON names
another interpreter when one is wanted.
"""
import os
import subprocess
import sys

SYSTEM_PYTHON = "/usr/bin/python3"


def python():
    chosen = os.environ.get("BENCH_PYTHON")
    if chosen:
        return chosen
    return SYSTEM_PYTHON if os.access(SYSTEM_PYTHON, os.X_OK) else sys.executable


def describe(executable):
    """The interpreter and its version, for the head of a report."""
    version = subprocess.run([executable, "-c", "import sys; print(sys.version.split()[0])"],
                             capture_output=True, text=True).stdout.strip()
    return "%s (%s)" % (executable, version or "?")
