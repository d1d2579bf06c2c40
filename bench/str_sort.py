# Case-insensitive sort of 100,000 lines (bench/gen_str_sort.py writes them)
with open("str_sort.txt", encoding="cp932", newline="") as f:
    lines = f.read().splitlines()
lines.sort(key=str.lower)
result = "\r\n".join(lines) + "\r\n"
print(len(lines))
