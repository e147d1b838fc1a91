-- Allocation-heavy code: binary trees of tables built, walked and dropped, beside one long-lived tree.
local function make(d)
  if d == 0 then return {left = nil, right = nil} end
  return {left = make(d - 1), right = make(d - 1)}
end
local function check(t)
  if t.left == nil then return 1 end
  return 1 + check(t.left) + check(t.right)
end
local function run(maxDepth)
  local longLived = make(maxDepth)
  local total = 0
  for d = 4, maxDepth, 2 do
    local iterations = 1 << (maxDepth - d + 4)
    for i = 1, iterations do total = total + check(make(d)) end
  end
  return total + check(longLived)
end
print(run(13))
