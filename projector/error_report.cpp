#include "projector/error_report.h"

namespace vorlo {
namespace {
// A damaged package can report the same fault many times; the first few say all there is to say.
constexpr size_t kMaxPending = 16;

struct Report {
  ErrorSink sink;
  std::vector<std::string> pending;
};

Report& report() {
  static Report r;
  return r;
}
}  // namespace

void setErrorSink(ErrorSink s) {
  Report& r = report();
  r.sink = std::move(s);
  if (!r.sink) return;
  std::vector<std::string> kept = std::move(r.pending);
  r.pending.clear();
  for (const std::string& message : kept) r.sink(message);
}

void reportError(const std::string& message) {
  Report& r = report();
  if (r.sink) {
    r.sink(message);
  } else if (r.pending.size() < kMaxPending) {
    r.pending.push_back(message);
  }
}

std::vector<std::string> takePendingErrors() {
  std::vector<std::string> kept = std::move(report().pending);
  report().pending.clear();
  return kept;
}

}  // namespace vorlo
