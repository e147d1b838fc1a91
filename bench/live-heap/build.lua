-- Many small tables kept alive: an array of n records built, then read once.
local arr = {}
for i = 0, n - 1 do arr[i + 1] = {a = i, b = i + 1, c = i % 7, d = "xy"} end
local sum = 0
for i = 1, n do sum = sum + arr[i].c end
print(sum)
