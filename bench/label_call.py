total = 0


def add():
    global total
    total = total + 1


for _ in range(100000):
    add()
print(total)
