-- Branches and short loops: 200000 passes with if/else blocks of two
-- statements, an inner loop of two passes, and calls given a literal text and
-- a computed decimal.
local total = 0
local chars = 0
for i = 1, 200000 do
  if i % 3 == 0 then
    total = total + i
    total = total - 1
  else
    total = total + 2
    total = total + math.floor(i / 2)
  end
  for j = 1, 2 do
    total = total + j
  end
  chars = chars + utf8.len("あいう")
end
print(string.format("%d", total))
print(chars)
