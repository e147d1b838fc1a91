-- Float arithmetic: iteration counts of the Mandelbrot set over a grid.
local function mandel(w, h, maxIter)
  local count = 0
  for py = 0, h - 1 do
    local ci = py * 2.0 / h - 1.0
    for px = 0, w - 1 do
      local cr = px * 3.0 / w - 2.0
      local zr = 0.0
      local zi = 0.0
      local k = 0
      while k < maxIter and zr * zr + zi * zi < 4.0 do
        local t = zr * zr - zi * zi + cr
        zi = 2.0 * zr * zi + ci
        zr = t
        k = k + 1
      end
      count = count + k
    end
  end
  return count
end
print(mandel(400, 300, 100))
