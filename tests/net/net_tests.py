#!/usr/bin/env python3
"""Tests of the network commands against servers on 127.0.0.1 started here.

    net_tests.py SORANE GROUP [--window]

GROUP is tcp, ftp or http. The scripts beside this file run in a fresh
temporary folder (their @PORT@, @PASSWORD@, ... filled in), in the console
or, with --window, in the window host on the offscreen platform. They write
what they saw into result files, compared here with NAME.expected. Nothing
leaves 127.0.0.1: the proxy variables are cleared for every run.
"""
import hashlib
import http.server
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SORANE = None
WINDOW = False
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    """True when something listens on the TCP port (read from /proc, so no
    connection is made to it)."""
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                for line in f.readlines()[1:]:
                    parts = line.split()
                    if parts[3] == "0A" and int(parts[1].rsplit(":", 1)[1], 16) == port:
                        return True
        except OSError:
            pass
    return False


def wait_listening(port, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if listening(port):
            return True
        time.sleep(0.02)
    return False


def vanish(sock):
    """Closes with unread data and a reset, as a peer that crashed."""
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    sock.close()


def environment(work, extra=None):
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_DATA_HOME=os.path.join(work, "data"), TMPDIR=work)
    for name in ("http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "HTTP_PROXY",
                 "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "SORANE_TEXT_ENCODING",
                 "CURL_CA_BUNDLE", "SSL_CERT_FILE", "SSL_CERT_DIR"):
        env.pop(name, None)
    if WINDOW:
        env["QT_QPA_PLATFORM"] = "offscreen"
    env.update(extra or {})
    return env


def place(work, name, values, as_name=None):
    """Copies tests/net/NAME.srn into WORK with @KEY@ replaced; its path."""
    with open(os.path.join(HERE, name + ".srn"), encoding="utf-8") as f:
        text = f.read()
    for key, value in values.items():
        text = text.replace("@%s@" % key, str(value))
    path = os.path.join(work, (as_name or name) + ".srn")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def start(script, work, extra_env=None):
    command = [SORANE, script] if WINDOW else [SORANE, "--console", script]
    return subprocess.Popen(command, cwd=work, env=environment(work, extra_env),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def peak_memory(proc):
    """The peak resident size (kB) of a process that has ended, not yet reaped."""
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    return usage.ru_maxrss


def finish(proc, timeout=20):
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, err = proc.communicate()
        return None, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")
    return proc.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def run(script, work, extra_env=None, timeout=20):
    return finish(start(script, work, extra_env), timeout)


def result(work, name="result.txt"):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read().decode("cp932").replace("\r\n", "\n")


def expected(name):
    with open(os.path.join(HERE, name + ".expected"), encoding="utf-8") as f:
        return f.read()


def compare(work, name, file="result.txt", transform=None):
    got = result(work, file)
    if got is not None and transform:
        got = transform(got)
    want = expected(name)
    check(got == want, "%s: %s differs\n--- expected\n%s--- got\n%s" % (name, file, want, got))


def case(function):
    """Runs one test in its own temporary folder and says how long it took."""
    def wrapper():
        began = time.time()
        with tempfile.TemporaryDirectory(prefix="sorane-net-") as work:
            function(work)
        print("%-28s %.1f s" % (function.__name__, time.time() - began))
    return wrapper


# ---------------------------------------------------------------- TCP

@case
def tcp_local(work):
    code, out, err = run(place(work, "tcp_local", {"PORT": free_port()}), work)
    check(code == 0, "tcp_local: status %s, stderr %s" % (code, err))
    compare(work, "tcp_local")


@case
def tcp_two_runtimes(work):
    port = free_port()
    server = start(place(work, "tcp_server", {"PORT": port}), work)
    check(wait_listening(port), "tcp_two_runtimes: the server does not listen")
    client_code = run(place(work, "tcp_client", {"PORT": port}), work)[0]
    server_code = finish(server)[0]
    check(client_code == 0 and server_code == 0,
          "tcp_two_runtimes: status %s / %s" % (client_code, server_code))
    compare(work, "tcp_server", "server.txt")
    compare(work, "tcp_client", "client.txt")


@case
def tcp_queue(work):
    port = free_port()
    proc = start(place(work, "tcp_queue", {"PORT": port}), work)
    check(wait_listening(port), "tcp_queue: the server does not listen")
    with socket.create_connection(("127.0.0.1", port)) as s:
        # Three texts while the script waits in 待つ, apart enough to be read
        # one by one; then, once it is idle, the last.
        for text in (b"A", b"B", b"C"):
            s.sendall(text)
            time.sleep(0.3)
        time.sleep(1.8)
        s.sendall(b"end")
        code = finish(proc)[0]
    check(code == 0, "tcp_queue: status %s" % code)
    compare(work, "tcp_queue")


@case
def tcp_many_clients(work):
    port = free_port()
    proc = start(place(work, "tcp_many", {"PORT": port}), work)
    check(wait_listening(port), "tcp_many: the server does not listen")
    clients = []
    for k in range(100):
        s = socket.create_connection(("127.0.0.1", port))
        s.sendall(b"hello %d" % k)
        clients.append(s)
        time.sleep(0.005)  # accepted in this order
    # Every other client goes away; the server must forget exactly those.
    for k in range(1, 100, 2):
        clients[k].close()
    time.sleep(0.5)
    control = socket.create_connection(("127.0.0.1", port))
    time.sleep(0.2)
    control.sendall(b"go")
    got = {}
    for k in range(0, 100, 2):
        clients[k].settimeout(10)
        data = b""
        while True:
            chunk = clients[k].recv(100)
            if not chunk:
                break
            data += chunk
        got[k] = data.decode()
        clients[k].close()
    control.settimeout(10)
    control_text = control.recv(100).decode()
    control.close()
    code = finish(proc)[0]
    check(code == 0, "tcp_many: status %s" % code)
    crossed = [(k, text) for k, text in got.items() if text != "you%d" % (k // 2 + 1)]
    check(not crossed, "tcp_many: texts went to the wrong clients: %s" % crossed[:5])
    check(control_text == "you51", "tcp_many: the last client got %r" % control_text)
    lines = (result(work) or "").split("\n")
    hellos = sorted(line for line in lines if line.startswith("hello"))
    check(hellos == sorted("hello %d" % k for k in range(100)),
          "tcp_many: greetings received: %s" % hellos[:5])
    check("残り[]" in lines, "tcp_many: peers left after closing all of them")


@case
def tcp_vanishing_peer(work):
    port = free_port()
    proc = start(place(work, "tcp_vanish", {"PORT": port}), work)
    check(wait_listening(port, 20), "tcp_vanish: the server does not listen")
    first = socket.create_connection(("127.0.0.1", port))
    first.recv(1000)
    vanish(first)  # the server's send fails half-way
    time.sleep(0.3)
    with socket.create_connection(("127.0.0.1", port)) as second:
        time.sleep(0.3)
        second.sendall(b"next")
        code = finish(proc)[0]
    check(code == 0, "tcp_vanish: status %s" % code)
    compare(work, "tcp_vanish")


@case
def tcp_send_fails(work):
    port = free_port()
    with socket.socket() as server:
        server.bind(("127.0.0.1", port))
        server.listen()
        proc = start(place(work, "tcp_send_fail", {"PORT": port}), work)
        peer, _ = server.accept()
        peer.recv(1000)
        vanish(peer)
        code, out, err = finish(proc)
    check(code == 1, "tcp_send_fail: status %s" % code)
    check("tcp_send_fail.srn(6行目): サーバーへの送信に失敗。" in err,
          "tcp_send_fail: stderr %r" % err)
    check("届かない" not in out, "tcp_send_fail: the script went on")


# ---------------------------------------------------------------- FTP

def ftp_python():
    """A Python that has pyftpdlib: this one or the system's."""
    for exe in (sys.executable, "/usr/bin/python3"):
        if exe and os.path.exists(exe) and subprocess.run(
                [exe, "-c", "import pyftpdlib"], capture_output=True).returncode == 0:
            return exe
    return None


class FtpServer:
    def __init__(self, root, user, password):
        python = ftp_python()
        if not python:
            raise RuntimeError("pyftpdlib is missing: run scripts/install-deps.sh")
        self.proc = subprocess.Popen([python, os.path.join(HERE, "ftp_server.py"), root, user,
                                      password], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.port = int(self.proc.stdout.readline())

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def listing_lines(text):
    # A listing line keeps its permissions and name; sizes, owners and dates go.
    return re.sub(r"(?m)([-d][rwx-]{9})\s+\d+\s.*\s(\S+)$", r"\1 \2", text)


def ftp_session(work, mode):
    root = os.path.join(work, "root")
    os.makedirs(os.path.join(root, "has space"))
    os.makedirs(os.path.join(root, "old"))
    with open(os.path.join(root, "old", "remote.txt"), "wb") as f:
        f.write(b"remote\r\ntext")
    password = "s3cret-Pw"
    server = FtpServer(root, "tester", password)
    try:
        values = {"PORT": server.port, "PASSWORD": password, "MODE": mode}
        code, out, err = run(place(work, "ftp_session", values), work)
        check(code == 0, "ftp_session %s: status %s, stderr %s" % (mode, code, err))
        compare(work, "ftp_session", transform=listing_lines)
        # Binary transfers keep every byte; chmod reached the server.
        with open(os.path.join(root, "up.bin"), "rb") as f:
            check(f.read() == b"a\r\nb\r\n", "ftp_session %s: upload changed the bytes" % mode)
        check(os.stat(os.path.join(root, "up.bin")).st_mode & 0o777 == 0o600,
              "ftp_session %s: SITE chmod did not reach the server" % mode)
        check(not os.path.exists(os.path.join(root, "sub", "dir2")),
              "ftp_session %s: the folder was not removed" % mode)
        # Wrong password: the message never shows a password.
        values["PASSWORD"] = "wrong-Secret"
        code, out, err = run(place(work, "ftp_login", values), work)
        check(code == 1 and "FTPのエラー。接続に失敗。" in err and "wrong-Secret" not in err,
              "ftp_login %s: status %s, stderr %r" % (mode, code, err))
    finally:
        server.stop()
    # A download the policy refuses writes nothing and raises nothing.
    leftovers = [n for n in os.listdir(work) if n.startswith(".")]
    check(not leftovers, "ftp_session %s: temporary files left: %s" % (mode, leftovers))


@case
def ftp_passive(work):
    ftp_session(work, "pasv")


@case
def ftp_active(work):
    ftp_session(work, "")


# ---------------------------------------------------------------- HTTP

class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path == "/moved":
            self.send_response(301)
            self.send_header("Location", "/page.html")
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif self.path == "/broken":
            self.send_error(500)
        else:
            super().do_GET()


def serve(root, context=None):
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), lambda *a, **k: Handler(*a, directory=root, **k))
    if context:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def make_certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1"], check=True, capture_output=True)
    return cert, key


@case
def http_downloads(work):
    site = os.path.join(work, "site")
    os.makedirs(site)
    with open(os.path.join(site, "page.html"), "w") as f:
        f.write("<p>page</p>")
    open(os.path.join(site, "empty.txt"), "w").close()
    big = os.path.join(site, "big.bin")
    with open(big, "wb") as f:
        block = hashlib.sha256(b"x").digest() * 32768  # 1 MB
        for _ in range(96):
            f.write(block)
    server = serve(site)
    cert, key = make_certificate(work)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    secure = serve(site, context)
    try:
        values = {"PORT": server.server_address[1], "TLSPORT": secure.server_address[1]}
        with open(os.path.join(work, "kept.html"), "w") as f:
            f.write("old")
        # The peak memory of an empty run, to compare the downloads' with.
        with open(os.path.join(work, "nothing.srn"), "w") as f:
            f.write("'\n")
        baseline = peak_memory(start(os.path.join(work, "nothing.srn"), work))
        proc = start(place(work, "http_download", values), work)
        err = proc.stderr.read().decode("utf-8", "replace")
        peak = peak_memory(proc)
        code = proc.returncode
        check(code == 0, "http_download: status %s, stderr %s" % (code, err))
        ports = lambda text: text.replace(":%d/" % values["PORT"], ":@PORT@/").replace(
            ":%d/" % values["TLSPORT"], ":@TLSPORT@/")
        compare(work, "http_download", transform=ports)
        with open(os.path.join(work, "big.bin"), "rb") as a, open(big, "rb") as b:
            check(a.read() == b.read(), "http_download: the large file differs")
        # The body streams to the file: 96 MB never sit in memory.
        check(peak - baseline < 48 * 1024,
              "http_download: peak memory %d kB, %d kB without downloads" % (peak, baseline))
        check("へダウンロードします" in err, "http_download: the refusal was not told: %r" % err)
        # The certificate trusted through the standard variable: accepted.
        code, out, err = run(place(work, "http_tls", values), work, {"SSL_CERT_FILE": cert})
        check(code == 0, "http_tls: status %s, stderr %s" % (code, err))
        check(result(work, "secure.html") == "<p>page</p>", "http_tls: the page did not arrive")
    finally:
        server.shutdown()
        secure.shutdown()


GROUPS = {
    "tcp": [tcp_local, tcp_two_runtimes, tcp_queue, tcp_many_clients, tcp_vanishing_peer,
            tcp_send_fails],
    "ftp": [ftp_passive, ftp_active],
    "http": [http_downloads],
}


def main():
    global SORANE, WINDOW
    SORANE = os.path.abspath(sys.argv[1])
    group = sys.argv[2]
    WINDOW = "--window" in sys.argv[3:]
    for test in GROUPS[group]:
        test()
    if FAILURES:
        print("%d failure(s)" % len(FAILURES))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
