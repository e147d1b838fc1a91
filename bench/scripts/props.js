// Property access: reads and writes of the named properties of one object.
function run(n) {
  var p = {x: 1, y: 2, z: 3, w: 4};
  var sum = 0;
  for (var i = 0; i < n; i++) {
    p.x = (p.x + p.y) % 1000;
    p.y = (p.y + p.z + i) % 1000;
    p.z = (p.z + p.w) % 1000;
    p.w = (p.w + p.x) % 1000;
    sum = (sum + p.x + p.y + p.z + p.w) % 1000003;
  }
  return sum;
}
print(run(2000000));
