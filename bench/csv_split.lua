-- Splits a 100,000-row CSV at its line breaks (one piece per row, written as a
-- one-column table: rows with commas or quotes get quoted) and counts the rows
-- of the result.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local csvlib = require("csvlib")
local parse_line, read_rows, quote, write_rows =
  csvlib.parse_line, csvlib.read_rows, csvlib.quote, csvlib.write_rows

local f = assert(io.open("csv_sales.csv", "rb"))
local text = f:read("a")
f:close()
local rows = {}
for line in text:gmatch("([^\r\n]*)\r\n") do rows[#rows + 1] = { line } end
local result = write_rows(rows)
local count = 0
for _ in result:gmatch("\r\n") do count = count + 1 end
print(count)
