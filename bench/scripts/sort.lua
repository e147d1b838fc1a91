-- Array sorting with a comparator written in script: arrays of pseudo-random integers (Park-Miller
-- generator) sorted ascending, then sampled.
local function less(a, b)
  return a < b
end
local function run(n, rounds)
  local seed = 42
  local check = 0
  for r = 1, rounds do
    local a = {}
    for i = 1, n do
      seed = (seed * 16807) % 2147483647
      a[i] = seed % 100000
    end
    table.sort(a, less)
    for k = 0, n - 1, 7 do check = (check + a[k + 1] * (k + 1)) % 1000003 end
  end
  return check
end
print(run(10000, 20))
