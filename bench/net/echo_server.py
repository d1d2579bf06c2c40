"""The echo server of the network benchmarks in Python: an event loop over
non-blocking sockets (selectors), every chunk sent back to its sender."""
import selectors
import socket
import sys

sel = selectors.DefaultSelector()
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", int(sys.argv[1])))
listener.listen()
listener.setblocking(False)
sel.register(listener, selectors.EVENT_READ)
while True:
    for key, _ in sel.select():
        if key.fileobj is listener:
            conn, _ = listener.accept()
            conn.setblocking(False)
            sel.register(conn, selectors.EVENT_READ)
            continue
        conn = key.fileobj
        data = conn.recv(4 << 20)
        if not data:
            sel.unregister(conn)
            conn.close()
            continue
        conn.setblocking(True)
        conn.sendall(data)
        conn.setblocking(False)
