-- 1000000 variables (entries of a table, named v1, v2, ...) created, then read back and summed.
local d = {}
for i = 1, 1000000 do
  d["v" .. i] = i
end
local total = 0
for i = 1, 1000000 do
  total = total + d["v" .. i]
end
print(total)
