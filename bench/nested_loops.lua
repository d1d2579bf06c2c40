-- Nested loops: 700 x 700 passes of arithmetic, and a text built from the outer counter.
local total = 0
local text = ""
for i = 1, 700 do
  for j = 1, 700 do
    total = total + i * j % 7
  end
  text = text .. i .. ","
end
print(total)
print(#text)
