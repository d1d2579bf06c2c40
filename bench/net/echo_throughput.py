"""Sends COUNT blocks of 64 KB to the echo server and reads all of them back,
reading whenever the send would block (as the run-time's client does)."""
import selectors
import socket
import sys

port, count = int(sys.argv[1]), int(sys.argv[2])
total = count * 65536
block = b"x" * 65536
s = socket.create_connection(("127.0.0.1", port))
s.setblocking(False)
sel = selectors.DefaultSelector()
sel.register(s, selectors.EVENT_READ | selectors.EVENT_WRITE)
received = 0
pending = memoryview(block * count)
while received < total:
    for key, events in sel.select():
        if events & selectors.EVENT_READ:
            received += len(s.recv(4 << 20))
        if events & selectors.EVENT_WRITE and pending:
            try:
                pending = pending[s.send(pending):]
            except BlockingIOError:
                pass
            if not pending:
                sel.modify(s, selectors.EVENT_READ)
