"""COUNT round trips: one byte out, its echo back, the next byte out."""
import socket
import sys

port, count = int(sys.argv[1]), int(sys.argv[2])
s = socket.create_connection(("127.0.0.1", port))
for _ in range(count):
    s.sendall(b"x")
    s.recv(100)
