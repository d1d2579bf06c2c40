-- Selects the rows of a 100,000-row CSV whose amount is at least 50,000 in the
-- regions East-*, and prints the number of rows selected (with the header).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local csvlib = require("csvlib")
local parse_line, read_rows, quote, write_rows =
  csvlib.parse_line, csvlib.read_rows, csvlib.quote, csvlib.write_rows

local rows = read_rows("csv_sales.csv")
local header = rows[1]
local amount, region
for c, name in ipairs(header) do
  if name == "amount" then amount = c end
  if name == "region" then region = c end
end
local picked = { header }
for k = 2, #rows do
  local r = rows[k]
  if tonumber(r[amount]) >= 50000 and r[region]:sub(1, 4) == "East" then picked[#picked + 1] = r end
end
local result = write_rows(picked)
local count = 0
for _ in result:gmatch("\r\n") do count = count + 1 end
print(count)
