-- Math functions and rounding: 100000 times, square root, trigonometry,
-- logarithm and power, rounded half away from zero to 3 decimals and summed.
local function round_half_away(x, places)
  local scale = 10 ^ places
  local r = math.floor(math.abs(x) * scale + 0.5) / scale
  if x >= 0 then return r else return -r end
end

local total = 0.0
for i = 1, 100000 do
  local x = math.sqrt(i) + math.sin(i) * math.cos(i) + math.log(i) + i ^ 0.25
  total = total + round_half_away(x, 3)
end
print(string.format("%.2f", round_half_away(total, 2)))
