#!/usr/bin/env python3
"""Conversations between run-times, and with programs of the test's own, over
the link sockets.

    dde_tests.py SORANE

Every test runs in a fresh temporary folder that is also XDG_RUNTIME_DIR, so
the sockets live there; each test checks that none is left behind. The
scripts beside this file run in the console. The frames are those of the
README: kind byte, 4-byte big-endian length, UTF-8 body.
"""
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SORANE = None
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def frame(kind, body=b""):
    return kind + struct.pack(">I", len(body)) + body


def read_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def read_frame(sock):
    head = read_exact(sock, 5)
    if head is None:
        return None
    body = read_exact(sock, struct.unpack(">I", head[1:])[0])
    return head[:1], body


def ask(sock, kind, body=b""):
    sock.sendall(frame(kind, body))
    return read_frame(sock)


def folder(work):
    return os.path.join(work, "sorane")


def connect(work, name):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.settimeout(5)
    s.connect(os.path.join(folder(work), name))
    return s


def environment(work):
    return dict(os.environ, HOME=work, TMPDIR=work, XDG_RUNTIME_DIR=work,
                XDG_CONFIG_HOME=os.path.join(work, "config"),
                XDG_DATA_HOME=os.path.join(work, "data"))


def start(work, name):
    with open(os.path.join(HERE, name + ".srn"), encoding="utf-8") as f:
        text = f.read()
    with open(os.path.join(work, name + ".srn"), "w", encoding="utf-8") as f:
        f.write(text)
    return subprocess.Popen([SORANE, "--console", name + ".srn"], cwd=work,
                            env=environment(work), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def finish(proc, timeout=15):
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, err = proc.communicate()
        return None, out.decode(), err.decode()
    return proc.returncode, out.decode(), err.decode()


def ready(work, proc, topic):
    """Waits until the run-time `proc` serves `topic`."""
    end = time.time() + 10
    while time.time() < end and proc.poll() is None:
        try:
            with connect(work, "sorane.%d" % proc.pid) as s:
                if ask(s, b"C", b"sorane\0" + topic.encode()) == (b"A", b""):
                    return True
        except OSError:
            pass
        time.sleep(0.02)
    return False


def sorane_files(work):
    """The link files and sockets of run-times left in the folder."""
    path = folder(work)
    return sorted(n for n in os.listdir(path) if n.startswith("sorane")) if os.path.isdir(path) else []


def wait_until(condition, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.02)
    return False


class FakeService:
    """A service of the test's own, in a thread: answers every frame with
    `answer(topic, kind, body)` (None hangs up) and records what it got."""

    def __init__(self, work, name, answer, hang_up=()):
        self.received = []
        self.hang_up = hang_up  # topics whose connection ends after C is answered
        self.answer = answer
        self.path = os.path.join(folder(work), "%s.%d" % (name, os.getpid()))
        os.makedirs(folder(work), mode=0o700, exist_ok=True)
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(self.path)
        self.listener.listen(4)
        self.link = os.path.join(folder(work), name)
        os.symlink(os.path.basename(self.path), self.link)
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            with conn:
                topic = None
                while True:
                    f = read_frame(conn)
                    if f is None:
                        break
                    kind, body = f
                    if kind == b"C":
                        topic = body.split(b"\0", 1)[1].decode()
                    self.received.append((topic, kind, body.decode()))
                    reply = self.answer(topic, kind, body) if kind != b"D" else None
                    if reply is None:
                        break
                    try:
                        conn.sendall(reply)
                    except OSError:
                        break
                    if kind == b"C" and topic in self.hang_up:
                        break

    def close(self):
        self.listener.shutdown(socket.SHUT_RDWR)
        self.listener.close()
        os.unlink(self.path)
        os.unlink(self.link)


def case(function):
    def wrapper():
        began = time.time()
        with tempfile.TemporaryDirectory(prefix="sorane-dde-") as work:
            function(work)
            check(sorane_files(work) == [], "%s: left %s" % (function.__name__, sorane_files(work)))
        print("%-24s %.1f s" % (function.__name__, time.time() - began))
    return wrapper


@case
def both_directions(work):
    peer = start(work, "peer")
    check(ready(work, peer, "b"), "peer: does not serve b")
    status, out, err = finish(start(work, "ping"))
    check((status, out, err) == (0, "受信:pong:ping\n受信:pong:二回目\n", ""),
          "ping: %r %r %r" % (status, out, err))
    status, out, err = finish(peer)
    check((status, err) == (0, ""), "peer: %r %r" % (status, err))


@case
def frames_to_a_script_topic(work):
    sink = start(work, "sink")
    check(ready(work, sink, "sink"), "sink: does not serve its topic")
    name = "sorane.%d" % sink.pid
    with connect(work, name) as s:
        check(ask(s, b"E", b"x")[0] == b"N", "execute before connecting is refused")
        check(ask(s, b"C", b"sorane\0nosuch")[0] == b"N", "an unknown topic is refused")
        check(ask(s, b"C", b"SORANE\0SINK") == (b"A", b""), "names are matched in any case")
        check(ask(s, b"E", b"one") == (b"A", b""), "execute")
        check(ask(s, b"R", b"any") == (b"A", b"one"), "request gives the last macro")
        check(ask(s, b"P", b"item\0two") == (b"A", b""), "poke")
        check(ask(s, b"E", "一\n二".encode()) == (b"A", b""), "execute of two lines")
    # Peers that break the protocol or vanish mid-answer lose their connection
    # and nothing else.
    with connect(work, name) as s:
        s.sendall(b"E\xff\xff\xff\xff")
        check(read_frame(s) == (b"N", b"too large"), "an oversized frame is refused")
        check(s.recv(1) == b"", "and its connection closed")
    # While the run-time stands still, peers leave before their answers.
    sink.send_signal(signal.SIGSTOP)
    for _ in range(3):
        with connect(work, name) as s:
            s.sendall(frame(b"C", b"sorane\0sink") + frame(b"E", b"lost"))
    sink.send_signal(signal.SIGCONT)
    with connect(work, name) as s:
        s.sendall(b"E\x00\x00")
    with connect(work, name) as s:
        ask(s, b"C", b"sorane\0sink")
        ask(s, b"E", b"bye")
    status, out, err = finish(sink)
    check((status, err) == (0, ""), "sink: %r %r" % (status, err))
    with open(os.path.join(work, "sink.txt"), "rb") as f:
        saved = f.read().decode("cp932")
    check(saved == "[one][two][一\r\n二][lost][lost][lost][bye]", "sink saved %r" % saved)


@case
def editor_link(work):
    pad = FakeService(work, "soranepad", lambda topic, kind, body: frame(b"A"))
    run = start(work, "editor")
    try:
        check(ready(work, run, "command"), "the run-time does not serve command")
        with connect(work, "sorane.%d" % run.pid) as s:
            ask(s, b"C", b"sorane\0command")
            kind, line = ask(s, b"R", b"line")
            check(kind == b"A" and line.isdigit(), "request of the line: %r" % line)
            for macro in (b"line", b"line soranepad", b"pause", b"unknown", b"break soranepad"):
                check(ask(s, b"E", macro) == (b"A", b""), "macro %r" % macro)
        status, out, err = finish(run)
        row = "row " + line.decode()
        check(status == 0 and err == "", "editor run: %r %r" % (status, err))
        check(out.startswith("実行ライン:%s\n" % line.decode()), "line shows %r" % out[:40])
        check("デバッグダイアログ" in out, "pause shows the debug dialog")
        got = [r for r in pad.received if r[1] != b"D"]
        want = [("command", b"C", "soranepad\0command"), ("command", b"E", row)] * 2
        check(got == want, "the editor got %r" % got)
    finally:
        run.kill()
        run.wait()
        pad.close()


@case
def starts_the_service_program(work):
    with open(os.path.join(work, "late.srn"), "w", encoding="utf-8") as f:
        f.write(open(os.path.join(HERE, "late.srn"), encoding="utf-8").read())
    status, out, err = finish(start(work, "launch"))
    check((status, out, err) == (0, "送信済み\n", ""), "launch: %r %r %r" % (status, out, err))
    saved = os.path.join(work, "late.txt")
    check(wait_until(lambda: os.path.exists(saved) and os.path.getsize(saved) > 0),
          "the started program got nothing")
    if os.path.exists(saved):
        check(open(saved, "rb").read().decode("cp932") == "起こされた", "late.txt")
    check(wait_until(lambda: sorane_files(work) == []), "the started program did not end")


@case
def vanished_server(work):
    sink = start(work, "sink")
    check(ready(work, sink, "sink"), "sink: does not serve its topic")
    sink.send_signal(signal.SIGKILL)
    sink.wait()
    status, out, err = finish(start(work, "to_sink"))
    check(status == 0 and "リンク出来ませんでした。" in out, "to_sink: %r %r" % (status, out))


@case
def ended_by_a_signal(work):
    # The process ends by the signal, and its socket and the links pointing at
    # it go with it.
    for sig in (signal.SIGTERM, signal.SIGINT):
        run = start(work, "sink")
        check(ready(work, run, "sink"), "sink: does not serve its topic")
        run.send_signal(sig)
        check(run.wait(timeout=10) == -sig, "sink did not end by signal %d" % sig)
        check(sorane_files(work) == [], "left by signal %d: %r" % (sig, sorane_files(work)))


@case
def servers_that_hang_up(work):
    fake = FakeService(work, "fake",
                       lambda topic, kind, body: None if topic == "closes" else frame(b"A"),
                       hang_up=("drops",))
    try:
        status, out, err = finish(start(work, "to_fake"))
        lines = out.splitlines()
        check(status == 0 and len(lines) == 3, "to_fake: %r %r %r" % (status, out, err))
        if len(lines) == 3:
            check(lines[0].endswith("サーバー\"fake\"トピック\"closes\"でエラー。リンク出来ませんでした。"),
                  lines[0])
            check(lines[1].endswith("サーバー\"fake\"トピック\"drops\"でエラー。コマンドの送信に失敗"),
                  lines[1])
            check(lines[2] == "生きている", lines[2])
    finally:
        fake.close()


@case
def private_folder(work):
    script = ("エラーを無視\n「受け」を呼ぶ、「x」という、DDEサーバー作成\n"
              "エラーメッセージを、表示\n終わる\n*受け\n戻る\n")

    def make_topic(extra):
        proc = subprocess.Popen([SORANE, "--console", "--eval", script], cwd=work,
                                env=dict(environment(work), **extra), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return finish(proc)

    # A folder others may enter is made private; one of another user is refused.
    uid = os.geteuid()
    for extra, place in (({}, folder(work)),
                         ({"XDG_RUNTIME_DIR": ""}, os.path.join(work, "sorane-%d" % uid))):
        os.mkdir(place)
        os.chmod(place, 0o777)
        keep = os.path.join(place, "keep")
        open(keep, "w").close()
        check(make_topic(extra) == (0, "\n", ""), "a topic in %s" % place)
        check(os.stat(place).st_mode & 0o777 == 0o700, "%s is not private" % place)
        check(os.listdir(place) == ["keep"], "left in %s: %r" % (place, os.listdir(place)))
        if uid == 0:
            os.chown(place, 65534, 65534)
            out = make_topic(extra)[1]
            check(out.endswith("サーバー作成に失敗\n"), "another user's folder: %r" % out)
            check(os.listdir(place) == ["keep"], "sockets in another user's folder")
        os.unlink(keep)
        os.rmdir(place)
    # The folder goes with the last socket.
    make_topic({"XDG_RUNTIME_DIR": ""})
    check(not any(n.startswith("sorane") for n in os.listdir(work)),
          "left in TMPDIR: %r" % os.listdir(work))


def main():
    global SORANE
    SORANE = os.path.abspath(sys.argv[1])
    for test in (both_directions, frames_to_a_script_topic, editor_link,
                 starts_the_service_program, vanished_server, ended_by_a_signal,
                 servers_that_hang_up,
                 private_folder):
        test()
    if FAILURES:
        print("%d failure(s)" % len(FAILURES))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
