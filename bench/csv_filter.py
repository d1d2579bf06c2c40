# Selects the rows of a 100,000-row CSV whose amount is at least 50,000 in the
# regions East-*, and prints the number of rows selected (with the header).
import csv
import fnmatch
import io

with open("csv_sales.csv", newline="", encoding="ascii") as f:
    rows = list(csv.reader(f))
header = rows[0]
amount, region = header.index("amount"), header.index("region")
picked = [header] + [r for r in rows[1:]
                     if float(r[amount]) >= 50000 and fnmatch.fnmatchcase(r[region], "East*")]
out = io.StringIO()
csv.writer(out, lineterminator="\r\n").writerows(picked)
print(sum(1 for _ in csv.reader(io.StringIO(out.getvalue(), newline=""))))
