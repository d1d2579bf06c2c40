# "%10.2f" and currency formatting of 100,000 numbers in a loop
for i in range(1, 100001):
    amount = i * 1.25
    cell = "%10.2f" % amount
    if amount == int(amount):
        cell += format(int(amount), ",")
    else:
        cell += format(amount, ",.2f")
print(cell)
