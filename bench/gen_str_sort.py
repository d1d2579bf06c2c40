# Writes str_sort.txt: 100,000 Shift-JIS lines (names, words and numbers in
# mixed case and width) for the str_sort benchmark. Same seed, same file.
import os
import random

PATH = "str_sort.txt"
rng = random.Random(20240601)
family = ["山田", "鈴木", "佐藤", "田中", "高橋", "伊藤", "渡辺", "中村", "小林", "加藤",
          "やまだ", "すずき", "サトウ", "タナカ", "Yamada", "suzuki", "SATO", "Tanaka"]
given = ["太郎", "花子", "一郎", "さくら", "ユウキ", "Ken", "mika", "JIRO", "ａｙａ", "Ｋｅｎｔａ"]
words = ["apple", "Banana", "cherry", "DATE", "りんご", "みかん", "メロン", "梨", "桃", "葡萄"]


def line():
    kind = rng.randrange(3)
    if kind == 0:
        return "%s %s %d" % (rng.choice(family), rng.choice(given), rng.randrange(100000))
    if kind == 1:
        return "%s-%s,%d" % (rng.choice(words), rng.choice(words), rng.randrange(1000))
    return "%d %s" % (rng.randrange(10 ** 6), rng.choice(given))


if not os.path.exists(PATH):
    data = "\r\n".join(line() for _ in range(100000)) + "\r\n"
    with open(PATH, "wb") as f:
        f.write(data.encode("cp932"))
