// Method calls on constructed objects: methods live on the constructor's prototype.
function Vec(x, y) {
  this.x = x;
  this.y = y;
}
Vec.prototype.add = function (o) {
  this.x = (this.x + o.x) % 10007;
  this.y = (this.y + o.y) % 10007;
  return this;
};
Vec.prototype.dot = function (o) {
  return this.x * o.x + this.y * o.y;
};

function run(n) {
  var a = new Vec(1, 2);
  var b = new Vec(3, 4);
  var sum = 0;
  for (var i = 0; i < n; i++) {
    a.add(b);
    b.add(a);
    var c = new Vec(i % 100, i % 37);
    sum = (sum + a.dot(b) + c.dot(a)) % 1000003;
  }
  return sum;
}
print(run(600000));
