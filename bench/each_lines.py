# Loops over the 1,000,000 lines of a text: the number after the comma of each line summed.
with open("lines_1m.txt", encoding="ascii") as f:
    data = f.read()
total = 0
for line in data.splitlines():
    total = total + int(line[line.index(",") + 1:])
print(total)
