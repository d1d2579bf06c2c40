-- Sums the amount column of a 100,000-row CSV (the header row skipped).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local csvlib = require("csvlib")
local parse_line, read_rows, quote, write_rows =
  csvlib.parse_line, csvlib.read_rows, csvlib.quote, csvlib.write_rows

local rows = read_rows("csv_sales.csv")
local total = 0
for k = 2, #rows do total = total + tonumber(rows[k][6]) end
print(string.format("%d", total))
