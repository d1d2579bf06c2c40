# Reads a 50 MB file, writes it to a new file safely (temporary name, fsync,
# rename), reads that back and prints its size.
import os

with open("file_rw.dat", "rb") as f:
    a = f.read()
tmp = "file_rw_copy.dat.tmp"
with open(tmp, "wb") as f:
    f.write(a)
    f.flush()
    os.fsync(f.fileno())
os.replace(tmp, "file_rw_copy.dat")
with open("file_rw_copy.dat", "rb") as f:
    b = f.read()
print(len(b))
