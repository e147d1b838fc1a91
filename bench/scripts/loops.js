// Integer loops: nested counting loops over local variables with arithmetic and bit operations.
function run(n) {
  var sum = 0;
  for (var i = 0; i < n; i++) {
    for (var j = 0; j < 1000; j++) {
      sum = (sum + (i ^ j) * 3 + (j & 7)) % 1000003;
    }
  }
  return sum;
}
print(run(10000));
