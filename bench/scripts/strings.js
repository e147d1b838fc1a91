// String building: short strings joined piece by piece from literals and numbers, then measured and
// indexed.
function run(n) {
  var total = 0;
  for (var i = 0; i < n; i++) {
    var s = "";
    for (var j = 0; j < 20; j++) {
      s = s + "k" + (i + j) + ",";
    }
    total = (total + s.length * 7 + s.charCodeAt(i % s.length)) % 1000003;
  }
  return total;
}
print(run(60000));
