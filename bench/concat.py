s = ""
for _ in range(20000):
    s = s + "あいう"
print(len(s))
