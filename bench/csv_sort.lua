-- Sorts a 100,000-row CSV (with a header row) by its amount column as numbers
-- and prints the smallest and largest amounts and the row count.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local csvlib = require("csvlib")
local parse_line, read_rows, quote, write_rows =
  csvlib.parse_line, csvlib.read_rows, csvlib.quote, csvlib.write_rows

local rows = read_rows("csv_sales.csv")
local header = table.remove(rows, 1)
table.sort(rows, function(a, b) return tonumber(a[6]) < tonumber(b[6]) end)
table.insert(rows, 1, header)
local result = write_rows(rows)
local back = {}
for line in result:gmatch("([^\r\n]*)\r\n") do back[#back + 1] = parse_line(line) end
print(back[2][6], back[100001][6], #back)
