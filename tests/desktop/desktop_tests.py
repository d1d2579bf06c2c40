#!/usr/bin/env python3
"""Other windows under a private Xvfb: the test's own X clients (xclient.c)
are activated, typed into and listed by scripts run with `sorane --console`.

    desktop_tests.py SORANE XCLIENT [--window]

With --window, keys are also typed into the run-time's own window (the Qt
host). Exits 77 (skipped) when Xvfb is not installed. Every process started here is
ended before the driver returns."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SORANE, XCLIENT = sys.argv[1], sys.argv[2]
WINDOW = "--window" in sys.argv[3:]
failures = []


class Client:
    """One window of ours and the keys it has received."""

    def __init__(self, env, title, hidden=False):
        self.out = tempfile.TemporaryFile(mode="w+")
        args = [XCLIENT, title] + (["hidden"] if hidden else [])
        self.proc = subprocess.Popen(args, env=env, stdin=subprocess.PIPE, stdout=self.out)
        self.seen = 0
        self.wait_for(1)
        self.seen = 1  # "ready"

    def lines(self):
        self.out.seek(0)
        return self.out.read().splitlines()

    def wait_for(self, count, timeout=3.0):
        end = time.time() + timeout
        while len(self.lines()) < count and time.time() < end:
            time.sleep(0.02)

    def keys(self, expected_count):
        """The keys received since the last call (waiting for as many as expected)."""
        self.wait_for(self.seen + expected_count)
        time.sleep(0.1)  # anything more that would arrive
        got = self.lines()[self.seen:]
        self.seen += len(got)
        return got

    def close(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def run(env, script, window=False, screenshot=None):
    with tempfile.NamedTemporaryFile("w", suffix=".srn", delete=False, encoding="utf-8") as f:
        f.write(script)
    try:
        mode = ["-security", "low"] if window else ["--console"]
        if screenshot:
            mode += ["--screenshot", screenshot]
        r = subprocess.run([SORANE] + mode + [f.name], env=env, capture_output=True,
                           timeout=30, text=True)
    finally:
        os.unlink(f.name)
    return r.stdout + r.stderr


def check(name, got, expected):
    if got != expected:
        failures.append(f"{name}:\n  expected {expected!r}\n  got      {got!r}")


def start_xvfb():
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "640x480x24",
                             "-nolisten", "tcp"], pass_fds=[write_fd],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as r:
        number = r.readline().strip()
    if not number:
        proc.kill()
        proc.wait()
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number


def tests(env):
    clients = []
    try:
        for title, hide in (("Sorane key target", False), ("Sorane other window", False),
                            ("Sorane hidden window", True)):
            clients.append(Client(env, title, hidden=hide))
        target, other, hidden = clients
        listed = run(env, "ウインドウ列挙。それを、表示。").splitlines()
        check("listing", sorted(t for t in listed if t.startswith("Sorane")),
              ["Sorane key target", "Sorane other window"])

        # Modifiers, named keys, counts, groups, Enter and a kanji, in one string.
        run(env, "「Sorane key」に、『^c%{F4}{TAB 3}{tab}+(ab)X~日{}}』を、キー送信。")
        check("key string", target.keys(17), [
            "Control_L ", "c C", "Alt_L ", "F4 A", "Tab ", "Tab ", "Tab ", "Tab ",
            "Shift_L ", "A S", "B S", "Shift_L ", "X S", "Return ", "U65E5 ",
            "Shift_L ", "braceright S"])
        check("others untouched", other.keys(0), [])

        # An empty title or one that matches nothing activates and types nothing:
        # the keys would otherwise reach the window that has the focus.
        run(env, "「」に、「q」を、キー送信。\n「」を、アクティブ。\n"
                 "「No such window」に、「q」を、キー送信。")
        check("empty or unknown title", target.keys(0) + other.keys(0), [])

        # The beginning of a title; アクティブ moves the focus, so plain typing
        # (through a title of the same window) lands there.
        run(env, "「Sorane oth」を、アクティブ。\n「Sorane other window」に、「z」を、キー送信。")
        check("prefix", other.keys(1), ["z "])
        check("hidden window never activated", hidden.keys(0), [])
    finally:
        for c in clients:
            c.close()


def own_window(env):
    """The run-time's own window reads its keys while the script waits in
    キー送信, so a kanji typed on a borrowed key code reaches it too."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "out.txt")
        run(env, "「E」を、エディタとして、作成。\nEに、注目。\n"
                 "母艦の、タイトルは、「キー送信の窓」\n"
                 "「キー送信の窓」に、『ab+x日』を、キー送信。\n0.3秒、待つ。\n"
                 f"結果は、「{{Eの、テキスト}}」\n結果を、「{out}」へ、保存。\nおわり。", window=True)
        got = open(out, encoding="cp932").read() if os.path.exists(out) else "(nothing saved)"
        check("own window", got, "abX日")


def own_windows_without_x(env):
    """Without an X display the run-time's own windows are the ones listed:
    the host window and the shown フォーム (here drawn offscreen)."""
    env = {k: v for k, v in env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "list.txt")
        run(env, "母艦の、タイトルは、「自分の窓」\n「副」を、フォームとして、作成。\n"
                 "副の、タイトルは、「副の窓」\n「隠」を、フォームとして、作成。\n"
                 "隠の、タイトルは、「隠れた窓」\n隠の、可視は、0\n「副の」を、アクティブ。\n"
                 f"ウィンドウ列挙。それを、「{out}」へ、保存。\nおわり。",
            window=True, screenshot=os.path.join(folder, "shot.png"))
        got = open(out, encoding="cp932").read().split() if os.path.exists(out) else []
        check("own windows without X", got, ["自分の窓", "副の窓"])


def main():
    if not shutil.which("Xvfb"):
        print("Xvfb is not installed")
        return 77
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display)
    env.pop("WAYLAND_DISPLAY", None)
    try:
        tests(env)
        if WINDOW:
            own_window(env)
            own_windows_without_x(env)
    finally:
        xvfb.terminate()
        try:
            xvfb.wait(timeout=5)
        except subprocess.TimeoutExpired:
            xvfb.kill()
            xvfb.wait()
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
