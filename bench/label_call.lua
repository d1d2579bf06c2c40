local total = 0
local function add()
  total = total + 1
end
for _ = 1, 100000 do
  add()
end
print(total)
