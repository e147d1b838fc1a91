-- Integer loops: nested counting loops over local variables with arithmetic and bit operations.
local function run(n)
  local sum = 0
  for i = 0, n - 1 do
    for j = 0, 999 do
      sum = (sum + (i ~ j) * 3 + (j & 7)) % 1000003
    end
  end
  return sum
end
print(run(10000))
