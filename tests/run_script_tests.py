#!/usr/bin/env python3
"""Runs one script test: NAME.srn through `sorane --console`.

Beside NAME.srn:
  NAME.out     expected standard output (UTF-8); required
  NAME.err     expected standard error; when absent, standard error must be empty
  NAME.status  expected exit status (default 0, or 1 when NAME.err exists)
  NAME.args    extra command-line arguments, one per line, after the script
  NAME.in      text fed to standard input
Scripts are stored as UTF-8 unless their name ends in "_sjis" (kept as Shift-JIS).
The test runs in a fresh temporary folder holding a copy of tests/scripts, so
scripts may create files next to themselves.
"""
import os
import shutil
import subprocess
import sys
import tempfile


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, "rb") as f:
        return f.read()


def main():
    exe, script = sys.argv[1], sys.argv[2]
    base = script[:-4]
    name = os.path.basename(script)
    expected_out = read(base + ".out", b"")
    expected_err = read(base + ".err")
    status_text = read(base + ".status")
    expected_status = int(status_text) if status_text else (1 if expected_err else 0)
    args = (read(base + ".args", b"").decode("utf-8")).splitlines()
    stdin = read(base + ".in", b"")

    with tempfile.TemporaryDirectory(prefix="sorane-test-") as tmp:
        work = os.path.join(tmp, "scripts")
        shutil.copytree(os.path.dirname(os.path.abspath(script)), work)
        env = dict(os.environ, HOME=tmp, XDG_CONFIG_HOME=os.path.join(tmp, "config"),
                   XDG_DATA_HOME=os.path.join(tmp, "data"), TMPDIR=tmp)
        proc = subprocess.run([exe, "--console", os.path.join(work, name)] + args,
                              input=stdin, capture_output=True, timeout=50, cwd=tmp, env=env)

    failures = []
    if proc.returncode != expected_status:
        failures.append("exit status %d, expected %d" % (proc.returncode, expected_status))
    got_out = proc.stdout.replace(tmp.encode(), b"TMP")
    if got_out != expected_out:
        failures.append("stdout differs:\n--- expected\n%s\n--- got\n%s" % (
            expected_out.decode("utf-8", "replace"), got_out.decode("utf-8", "replace")))
    got_err = proc.stderr
    if expected_err is None:
        if got_err:
            failures.append("unexpected stderr:\n%s" % got_err.decode("utf-8", "replace"))
    elif got_err.replace(tmp.encode(), b"TMP") != expected_err:
        failures.append("stderr differs:\n--- expected\n%s\n--- got\n%s" % (
            expected_err.decode("utf-8", "replace"), got_err.decode("utf-8", "replace")))
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
