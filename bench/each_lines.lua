-- Loops over the 1,000,000 lines of a text: the number after the comma of each line summed.
local f = assert(io.open("lines_1m.txt", "rb"))
local data = f:read("a")
f:close()
local total = 0
for line in data:gmatch("([^\r\n]*)\r\n") do
  total = total + tonumber(line:sub(line:find(",", 1, true) + 1))
end
print(total)
