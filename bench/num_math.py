# Math functions and rounding: 100000 times, square root, trigonometry,
# logarithm and power, rounded half away from zero to 3 decimals and summed.
import math


def round_half_away(x, places):
    scale = 10 ** places
    r = math.floor(abs(x) * scale + 0.5) / scale
    return r if x >= 0 else -r


total = 0.0
for i in range(1, 100001):
    x = math.sqrt(i) + math.sin(i) * math.cos(i) + math.log(i) + math.pow(i, 0.25)
    total = total + round_half_away(x, 3)
print("%.2f" % round_half_away(total, 2))
