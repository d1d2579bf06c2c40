# 1000000 variables (entries of a dictionary, named v1, v2, ...) created, then read back and summed.
d = {}
for i in range(1, 1000000 + 1):
    d["v%d" % i] = i
total = 0
for i in range(1, 1000000 + 1):
    total = total + d["v%d" % i]
print(total)
