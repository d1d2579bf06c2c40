total = 0
for i in range(1, 1000001):
    total = total + i
print(total)
