-- CSV helpers shared by the csv_* benchmarks: quoted cells may hold commas
-- and doubled quotes; rows end with CR LF.
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

return { parse_line = parse_line, read_rows = read_rows, quote = quote, write_rows = write_rows }
