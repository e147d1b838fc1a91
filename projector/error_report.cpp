#include "projector/error_report.h"

namespace vorlo {
namespace {
ErrorSink& sink() {
  static ErrorSink s;
  return s;
}
}  // namespace

void setErrorSink(ErrorSink s) { sink() = std::move(s); }

void reportError(const std::string& message) {
  if (sink()) sink()(message);
}

}  // namespace vorlo
