-- Nested loops: 300 x 300 passes of arithmetic, and a text built from the outer counter.
local total = 0
local text = ""
for i = 1, 300 do
  for j = 1, 300 do
    total = total + i * j % 7
  end
  text = text .. i .. ","
end
print(total)
print(#text)
