// Float arithmetic: iteration counts of the Mandelbrot set over a grid.
function mandel(w, h, maxIter) {
  var count = 0;
  for (var py = 0; py < h; py++) {
    var ci = py * 2.0 / h - 1.0;
    for (var px = 0; px < w; px++) {
      var cr = px * 3.0 / w - 2.0;
      var zr = 0.0;
      var zi = 0.0;
      var k = 0;
      while (k < maxIter && zr * zr + zi * zi < 4.0) {
        var t = zr * zr - zi * zi + cr;
        zi = 2.0 * zr * zi + ci;
        zr = t;
        k++;
      }
      count += k;
    }
  }
  return count;
}
print(mandel(400, 300, 100));
