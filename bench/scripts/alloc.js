// Allocation-heavy code: binary trees of constructed objects built, walked and dropped, beside one
// long-lived tree.
function Node(left, right) {
  this.left = left;
  this.right = right;
}
function make(d) {
  if (d == 0) return new Node(null, null);
  return new Node(make(d - 1), make(d - 1));
}
function check(t) {
  if (t.left == null) return 1;
  return 1 + check(t.left) + check(t.right);
}
function run(maxDepth) {
  var longLived = make(maxDepth);
  var total = 0;
  for (var d = 4; d <= maxDepth; d += 2) {
    var iterations = 1 << (maxDepth - d + 4);
    for (var i = 0; i < iterations; i++) total += check(make(d));
  }
  return total + check(longLived);
}
print(run(13));
