-- Global-variable loops: a loop at top level whose counter and accumulator are globals.
sum = 0
count = 4000000
i = 0
while i < count do
  sum = (sum * 31 + i) % 1000003
  i = i + 1
end
print(sum)
