# Branches and short loops: 200000 passes with if/else blocks of two
# statements, an inner loop of two passes, and calls given a literal text and
# a computed decimal.
total = 0
chars = 0
for i in range(1, 200001):
    if i % 3 == 0:
        total = total + i
        total = total - 1
    else:
        total = total + 2
        total = total + int(i / 2)
    for j in range(1, 3):
        total = total + j
    chars = chars + len("あいう")
print(total)
print(chars)
