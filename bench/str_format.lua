-- "%10.2f" and currency formatting of 100,000 numbers in a loop
local function grouped(s)
  local int, frac = s:match("^(%d+)(.*)$")
  int = int:reverse():gsub("(%d%d%d)", "%1,"):reverse():gsub("^,", "")
  return int .. frac
end
local cell
for i = 1, 100000 do
  local amount = i * 1.25
  cell = string.format("%10.2f", amount)
  if amount == math.floor(amount) then
    cell = cell .. grouped(string.format("%d", amount))
  else
    cell = cell .. grouped(string.format("%.2f", amount))
  end
end
print(cell)
