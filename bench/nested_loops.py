# Nested loops: 700 x 700 passes of arithmetic, and a text built from the outer counter.
total = 0
text = ""
for i in range(1, 701):
    for j in range(1, 701):
        total = total + i * j % 7
    text = text + str(i) + ","
print(total)
print(len(text))
