-- String building: short strings joined piece by piece from literals and numbers, then measured and
-- indexed.
local function run(n)
  local total = 0
  for i = 0, n - 1 do
    local s = ""
    for j = 0, 19 do
      s = s .. "k" .. (i + j) .. ","
    end
    total = (total + #s * 7 + string.byte(s, i % #s + 1)) % 1000003
  end
  return total
end
print(run(60000))
