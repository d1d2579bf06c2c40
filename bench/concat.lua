local s = ""
for _ = 1, 20000 do
  s = s .. "あいう"
end
print(utf8.len(s))
