# CSV report over a 100,000-row CSV: the rows with an amount of at least 50,000
# are picked, their quantities and amounts summed per product row by row, and
# the report is formatted and written as a TSV file.
import csv

with open("csv_sales.csv", newline="", encoding="ascii") as f:
    rows = list(csv.reader(f))
header = rows[0]
amount = header.index("amount")
picked = [r for r in rows[1:] if float(r[amount]) >= 50000]
qty, total = {}, {}
count = 0
for r in picked:
    product = r[3]
    qty[product] = qty.get(product, 0) + int(r[4])
    total[product] = total.get(product, 0) + int(r[5])
    count = count + 1
report = "product\tqty\tamount"
for product in total:
    report = report + "\r\n%s\t%d\t%s" % (product, qty[product], format(total[product], ","))
with open("report.tsv", "w", newline="", encoding="ascii") as f:
    f.write(report)
print("%d rows" % count)
