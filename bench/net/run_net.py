#!/usr/bin/env python3
"""The network benchmarks: TCP echo throughput and round trips between two
run-times against the same pair in Python, and an HTTP download of 100 MB from
a local server against the curl program. Everything stays on 127.0.0.1.

usage: bench/net/run_net.py [path/to/sorane]

Prints the best of three wall-clock times (each includes the client's start)
and the peak memory of each download. The Python is the system's python3 (see
bench/baseline.py).
"""
import http.server
import os
import shutil
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import baseline  # noqa: E402  (the Python compared with, see bench/baseline.py)

OUT = os.path.join(HERE, "..", "out", "net")
BLOCKS = 1024        # 64 MB each way
ROUND_TRIPS = 10000
DOWNLOAD_MB = 100


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port):
    for _ in range(500):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.01)
    raise RuntimeError("nothing listens on %d" % port)


def script(name, values):
    with open(os.path.join(HERE, name + ".srn"), encoding="utf-8") as f:
        text = f.read()
    for key, value in values.items():
        text = text.replace("@%s@" % key, str(value))
    path = os.path.join(OUT, name + ".srn")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def timed(cmd):
    """Wall-clock seconds and peak memory (kB) of one run."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=OUT, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(cmd), proc.stderr.read().decode()))
    return elapsed, usage.ru_maxrss


def best_of(cmd, runs=3):
    results = [timed(cmd) for _ in range(runs)]
    return min(t for t, _ in results), max(m for _, m in results)


def with_server(server_cmd, port, client_cmd):
    server = subprocess.Popen(server_cmd, cwd=OUT, stdout=subprocess.DEVNULL)
    try:
        wait_listening(port)
        return best_of(client_cmd)
    finally:
        server.kill()
        server.wait()


def echo(sorane):
    port = free_port()
    srn_server = [sorane, "--console", script("echo_server", {"PORT": port})]
    python = baseline.python()
    py_server = [python, os.path.join(HERE, "echo_server.py"), str(port)]
    total = BLOCKS * 65536
    srn_tp = [sorane, "--console",
              script("echo_throughput", {"PORT": port, "COUNT": BLOCKS, "TOTAL": total})]
    py_tp = [python, os.path.join(HERE, "echo_throughput.py"), str(port), str(BLOCKS)]
    srn_rtt = [sorane, "--console", script("echo_rtt", {"PORT": port, "COUNT": ROUND_TRIPS})]
    py_rtt = [python, os.path.join(HERE, "echo_rtt.py"), str(port), str(ROUND_TRIPS)]
    mb = total / 1e6
    for label, srn_client, py_client, unit in (
            ("echo throughput (MB/s each way)", srn_tp, py_tp, mb),
            ("round trips per second", srn_rtt, py_rtt, ROUND_TRIPS)):
        t_s, m_s = with_server(srn_server, port, srn_client)
        t_p, m_p = with_server(py_server, port, py_client)
        print("%-32s sorane %8.0f (%.3f s, %d MB)   python %8.0f (%.3f s)   x python %.2f" %
              (label, unit / t_s, t_s, m_s // 1024, unit / t_p, t_p, t_s / t_p))


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def download(sorane):
    site = os.path.join(OUT, "site")
    os.makedirs(site, exist_ok=True)
    big = os.path.join(site, "big.bin")
    if not os.path.exists(big) or os.path.getsize(big) != DOWNLOAD_MB << 20:
        with open(big, "wb") as f:
            block = os.urandom(1 << 20)
            for _ in range(DOWNLOAD_MB):
                f.write(block)
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), lambda *a, **k: Quiet(*a, directory=site, **k))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/big.bin" % server.server_address[1]
    try:
        t_s, m_s = best_of([sorane, "--console", script("http_download", {"URL": url})])
        t_c, m_c = best_of(["curl", "-s", "-o", "download.bin", url])
    finally:
        server.shutdown()
    print("%-32s sorane %.3f s (%d MB peak)   curl %.3f s (%d MB peak)   x curl %.2f" %
          ("HTTP download of %d MB" % DOWNLOAD_MB, t_s, m_s // 1024, t_c, m_c // 1024, t_s / t_c))


def main():
    sorane = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                             os.path.join(HERE, "..", "..", "build", "sorane"))
    os.makedirs(OUT, exist_ok=True)
    echo(sorane)
    if shutil.which("curl"):
        download(sorane)


if __name__ == "__main__":
    main()
