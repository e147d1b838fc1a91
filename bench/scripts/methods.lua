-- Method calls on constructed objects: methods live in the class table, the objects' metatable index.
local Vec = {}
Vec.__index = Vec

function Vec.new(x, y)
  return setmetatable({x = x, y = y}, Vec)
end
function Vec:add(o)
  self.x = (self.x + o.x) % 10007
  self.y = (self.y + o.y) % 10007
  return self
end
function Vec:dot(o)
  return self.x * o.x + self.y * o.y
end

local function run(n)
  local a = Vec.new(1, 2)
  local b = Vec.new(3, 4)
  local sum = 0
  for i = 0, n - 1 do
    a:add(b)
    b:add(a)
    local c = Vec.new(i % 100, i % 37)
    sum = (sum + a:dot(b) + c:dot(a)) % 1000003
  end
  return sum
end
print(run(600000))
