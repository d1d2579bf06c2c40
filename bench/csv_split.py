# Splits a 100,000-row CSV at its line breaks (one piece per row, written as a
# one-column table: rows with commas or quotes get quoted) and counts the rows
# of the result.
import csv
import io

with open("csv_sales.csv", newline="", encoding="ascii") as f:
    text = f.read()
pieces = text.split("\r\n")
if pieces and pieces[-1] == "":
    pieces.pop()
out = io.StringIO()
w = csv.writer(out, lineterminator="\r\n")
for p in pieces:
    w.writerow([p])
print(sum(1 for _ in csv.reader(io.StringIO(out.getvalue(), newline=""))))
