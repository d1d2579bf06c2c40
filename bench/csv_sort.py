# Sorts a 100,000-row CSV (with a header row) by its amount column as numbers
# and prints the smallest and largest amounts and the row count.
import csv
import io

with open("csv_sales.csv", newline="", encoding="ascii") as f:
    rows = list(csv.reader(f))
header, body = rows[0], rows[1:]
body.sort(key=lambda r: float(r[5]))
out = io.StringIO()
w = csv.writer(out, lineterminator="\r\n")
w.writerow(header)
w.writerows(body)
result = list(csv.reader(io.StringIO(out.getvalue(), newline="")))
print(result[1][5], result[100000][5], len(result))
