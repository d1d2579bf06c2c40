-- Reads a 50 MB file, writes it to a new file (temporary name, then rename;
-- plain Lua cannot fsync), reads that back and prints its size.
local f = assert(io.open("file_rw.dat", "rb"))
local a = f:read("a")
f:close()
local tmp = "file_rw_copy.dat.tmp"
f = assert(io.open(tmp, "wb"))
f:write(a)
f:close()
assert(os.rename(tmp, "file_rw_copy.dat"))
f = assert(io.open("file_rw_copy.dat", "rb"))
local b = f:read("a")
f:close()
print(#b)
