-- CSV report over a 100,000-row CSV: the rows with an amount of at least 50,000
-- are picked, their quantities and amounts summed per product row by row, and
-- the report is formatted and written as a TSV file.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local csvlib = require("csvlib")

local rows = csvlib.read_rows("csv_sales.csv")
local picked = {}
for k = 2, #rows do
  if tonumber(rows[k][6]) >= 50000 then picked[#picked + 1] = rows[k] end
end
local qty, total, order = {}, {}, {}
local count = 0
for _, r in ipairs(picked) do
  local product = r[4]
  if not total[product] then order[#order + 1] = product; qty[product] = 0; total[product] = 0 end
  qty[product] = qty[product] + tonumber(r[5])
  total[product] = total[product] + tonumber(r[6])
  count = count + 1
end
local function commas(n)
  local s = string.format("%d", n)
  local out = s:reverse():gsub("(%d%d%d)", "%1,"):reverse()
  return (out:gsub("^,", ""))
end
local report = "product\tqty\tamount"
for _, product in ipairs(order) do
  report = report .. string.format("\r\n%s\t%d\t%s", product, qty[product], commas(total[product]))
end
local f = assert(io.open("report.tsv", "wb"))
f:write(report)
f:close()
print(count .. " rows")
