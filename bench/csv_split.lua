-- Splits a 100,000-row CSV at its line breaks (one piece per row, written as a
-- one-column table: rows with commas or quotes get quoted) and counts the rows
-- of the result.
-- CSV cells of one line: quoted cells may hold commas and doubled quotes.
local function parse_line(s)
  local cells, i, n = {}, 1, #s
  while true do
    if s:sub(i, i) == "\"" then
      local buf, j = {}, i + 1
      while true do
        local q = s:find("\"", j, true)
        if not q then buf[#buf + 1] = s:sub(j); i = n + 1; break end
        buf[#buf + 1] = s:sub(j, q - 1)
        if s:sub(q + 1, q + 1) == "\"" then buf[#buf + 1] = "\""; j = q + 2
        else i = q + 1; break end
      end
      cells[#cells + 1] = table.concat(buf)
      local comma = s:find(",", i, true)
      if not comma then break end
      i = comma + 1
    else
      local comma = s:find(",", i, true)
      if not comma then cells[#cells + 1] = s:sub(i); break end
      cells[#cells + 1] = s:sub(i, comma - 1)
      i = comma + 1
    end
  end
  return cells
end

local function read_rows(name)
  local f = assert(io.open(name, "rb"))
  local text = f:read("a")
  f:close()
  local rows = {}
  for line in text:gmatch("([^\r\n]*)\r\n") do rows[#rows + 1] = parse_line(line) end
  return rows
end

local function quote(cell)
  if cell:find("[\",\r\n]") then return "\"" .. cell:gsub("\"", "\"\"") .. "\"" end
  return cell
end

local function write_rows(rows)
  local out = {}
  for k, row in ipairs(rows) do
    local q = {}
    for c, cell in ipairs(row) do q[c] = quote(cell) end
    out[k] = table.concat(q, ",")
  end
  return table.concat(out, "\r\n") .. "\r\n"
end

local f = assert(io.open("csv_sales.csv", "rb"))
local text = f:read("a")
f:close()
local rows = {}
for line in text:gmatch("([^\r\n]*)\r\n") do rows[#rows + 1] = { line } end
local result = write_rows(rows)
local count = 0
for _ in result:gmatch("\r\n") do count = count + 1 end
print(count)
