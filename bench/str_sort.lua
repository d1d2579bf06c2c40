-- Case-insensitive sort of 100,000 lines (bench/gen_str_sort.py writes them)
local f = assert(io.open("str_sort.txt", "rb"))
local data = f:read("a")
f:close()
local lines, keys = {}, {}
for line in data:gmatch("([^\r\n]*)\r\n") do
  lines[#lines + 1] = line
  keys[line] = line:lower()
end
table.sort(lines, function(a, b) return keys[a] < keys[b] end)
local result = table.concat(lines, "\r\n") .. "\r\n"
print(#lines)
