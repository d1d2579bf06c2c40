# Sums the amount column of a 100,000-row CSV (the header row skipped).
import csv

with open("csv_sales.csv", newline="", encoding="ascii") as f:
    reader = csv.reader(f)
    next(reader)
    total = sum(float(r[5]) for r in reader)
print("%d" % total)
