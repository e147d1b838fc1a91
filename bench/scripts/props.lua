-- Property access: reads and writes of the named properties of one object.
local function run(n)
  local p = {x = 1, y = 2, z = 3, w = 4}
  local sum = 0
  for i = 0, n - 1 do
    p.x = (p.x + p.y) % 1000
    p.y = (p.y + p.z + i) % 1000
    p.z = (p.z + p.w) % 1000
    p.w = (p.w + p.x) % 1000
    sum = (sum + p.x + p.y + p.z + p.w) % 1000003
  end
  return sum
end
print(run(2000000))
