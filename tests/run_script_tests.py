#!/usr/bin/env python3
"""Runs the script tests of one family folder through `sorane --console` (or in
a window, driven by --play).

    run_script_tests.py SORANE FOLDER [NAME ...]

Every FOLDER/NAME.srn is a test (only the NAMEs given, when some are), and so
is every NAME.cmd. Beside it:
  NAME.cmd     the command line after the executable, one argument per line,
               in place of `--console SCRIPT` (SCRIPT stands for the script's
               path; a test of a script from --eval or standard input has no
               NAME.srn)
  NAME.out     expected standard output (UTF-8); required
  NAME.err     expected standard error; when absent, standard error must be empty
  NAME.status  expected exit status (default 0, or 1 when NAME.err exists)
  NAME.args    extra command-line arguments, one per line, after the script
  NAME.in      text fed to standard input
  NAME.env     extra environment variables, NAME=VALUE one per line
  NAME.play    user actions for --play: the script runs in a window as
               `--play NAME.play SCRIPT`, on the offscreen platform unless
               NAME.env names another (QT_QPA_PLATFORM)
Scripts are stored as UTF-8 unless their name ends in "_sjis" (kept as Shift-JIS).

Each script runs in a fresh temporary folder TMP as TMP/scripts/NAME.srn, with
HOME=TMP, XDG_CONFIG_HOME=TMP/config, XDG_DATA_HOME=TMP/data and TMPDIR=TMP, so
it may create files next to itself; SORANE_TEXT_ENCODING is cleared unless
NAME.env sets it. The files a family's scripts read or include live in
FOLDER/fixtures/ and are copied into TMP/scripts/ before each of its scripts
runs (FOLDER/fixtures/inc/sub.srn becomes TMP/scripts/inc/sub.srn). TMP in the
expected outputs stands for the temporary folder.

All scripts run (one after another) even when some fail; each failure is printed
with the script's name and what differs, and the exit status is 1 when any
failed.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT = 50  # seconds for one script


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, "rb") as f:
        return f.read()


def text(data):
    return data.decode("utf-8", "replace")


def run_script(exe, folder, name, more_env=None):
    """Runs FOLDER/NAME.srn as a test runs it (more_env added to its
    environment); returns (exit status, stdout, stderr) with the temporary
    folder written TMP, or (None, message, b"") when it timed out."""
    base = os.path.join(folder, name)
    args = text(read(base + ".args", b"")).splitlines()
    command = read(base + ".cmd")
    stdin = read(base + ".in", b"")
    extra_env = dict(line.split("=", 1) for line in text(read(base + ".env", b"")).splitlines()
                     if "=" in line)
    fixtures = os.path.join(folder, "fixtures")

    with tempfile.TemporaryDirectory(prefix="sorane-test-", ignore_cleanup_errors=True) as tmp:
        work = os.path.join(tmp, "scripts")
        if os.path.isdir(fixtures):
            shutil.copytree(fixtures, work, symlinks=True)
        else:
            os.mkdir(work)
        script = os.path.join(work, name + ".srn")
        if os.path.exists(base + ".srn"):
            shutil.copy2(base + ".srn", work)
        play = base + ".play"
        if os.path.exists(play):
            shutil.copy2(play, work)
        if command is None and os.path.exists(play):
            command = ["--play", os.path.join(work, name + ".play"), script]
            extra_env.setdefault("QT_QPA_PLATFORM", "offscreen")
        elif command is None:
            command = ["--console", script]
        else:
            command = [script if a == "SCRIPT" else a for a in text(command).splitlines()]
        env = dict(os.environ, HOME=tmp, XDG_CONFIG_HOME=os.path.join(tmp, "config"),
                   XDG_DATA_HOME=os.path.join(tmp, "data"), TMPDIR=tmp)
        env.pop("SORANE_TEXT_ENCODING", None)
        env.update(extra_env)
        env.update(more_env or {})
        try:
            proc = subprocess.run([exe] + command + args,
                                  input=stdin, capture_output=True, timeout=TIMEOUT, cwd=tmp,
                                  env=env)
        except subprocess.TimeoutExpired as e:
            return None, "timed out after %d s; output so far:\n%s%s" % (
                TIMEOUT, text(e.stdout or b""), text(e.stderr or b"")), b""
    return (proc.returncode, proc.stdout.replace(tmp.encode(), b"TMP"),
            proc.stderr.replace(tmp.encode(), b"TMP"))


def run_one(exe, folder, name):
    """Runs FOLDER/NAME.srn; returns the list of what differs (empty when passed)."""
    base = os.path.join(folder, name)
    expected_out = read(base + ".out", b"")
    expected_err = read(base + ".err")
    status_text = read(base + ".status")
    expected_status = int(status_text) if status_text else (1 if expected_err else 0)
    status, got_out, got_err = run_script(exe, folder, name)
    if status is None:
        return [got_out]

    failures = []
    if status != expected_status:
        failures.append("exit status %d, expected %d" % (status, expected_status))
    if got_out != expected_out:
        failures.append("stdout differs:\n--- expected\n%s\n--- got\n%s" % (
            text(expected_out), text(got_out)))
    if expected_err is None:
        if got_err:
            failures.append("unexpected stderr:\n%s" % text(got_err))
    elif got_err != expected_err:
        failures.append("stderr differs:\n--- expected\n%s\n--- got\n%s" % (
            text(expected_err), text(got_err)))
    return failures


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    exe, folder, wanted = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3:]
    names = sorted({f[:-4] for f in os.listdir(folder) if f.endswith((".srn", ".cmd"))})
    if wanted:
        missing = [n for n in wanted if n not in names]
        if missing:
            print("no such script in %s: %s" % (folder, " ".join(missing)))
            return 2
        names = [n for n in names if n in wanted]
    if not names:
        print("no scripts in %s" % folder)
        return 2

    failed = []
    for name in names:
        start = time.monotonic()
        failures = run_one(exe, folder, name)
        took = time.monotonic() - start
        if failures:
            failed.append(name)
            print("FAIL %s.srn (%.2f s)" % (name, took))
            print("\n".join(failures))
        else:
            print("ok   %s.srn (%.2f s)" % (name, took))
        sys.stdout.flush()
    if failed:
        print("%d of %d scripts failed: %s" % (len(failed), len(names), " ".join(failed)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
