// Array sorting with a comparator written in script: arrays of pseudo-random integers (Park-Miller
// generator) sorted ascending, then sampled.
function compare(a, b) {
  return a - b;
}
function run(n, rounds) {
  var seed = 42;
  var check = 0;
  for (var r = 0; r < rounds; r++) {
    var a = [];
    for (var i = 0; i < n; i++) {
      seed = (seed * 16807) % 2147483647;
      a[i] = seed % 100000;
    }
    a.sort(compare);
    for (var k = 0; k < n; k += 7) check = (check + a[k] * (k + 1)) % 1000003;
  }
  return check;
}
print(run(10000, 20));
