-- Regex replace over a 10 MB Shift-JIS text: every number is wrapped in brackets.
-- Lua has no regular expressions: a Lua pattern of the same effect. The line is
-- written as its Shift-JIS bytes.
local line = "\143\164\149i\148\212\141\13412345\130\204\141\221\140\201\130\205678\140\194\129A\137\191\138i\130\2059800\137~\130\197\130\183\129B\142\159\137\241\147\252\137\215\130\2052024\148N5\140\1423\147\250\129B\013\010"
local text = line
for _ = 1, 17 do
  text = text .. text
end
local result = text:gsub("(%d+)", "<%1>")
print(#result)
