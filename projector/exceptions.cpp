#include "projector/exceptions.h"

#include <cstring>

#include "util/platform.h"

namespace vorlo {

CProjectorException::CProjectorException() : message_(os::lastErrorText()) {}

bool CProjectorException::getErrorMessage(char* buffer, size_t size) const {
  if (!buffer || size == 0) return false;
  size_t n = std::min(size - 1, message_.size());
  std::memcpy(buffer, message_.data(), n);
  buffer[n] = '\0';
  return true;
}

const char* CZipException::messageFor(int zlibCode) {
  switch (zlibCode) {
    case -5: return "There was not enough room in the compress(uncompress) output buffer";
    case -4: return "There was not enough memory for compress(uncompress)";
    case -3: return "The compress(uncompress) input data was corrupted";
    case -2: return "The compress level parameter is invalid";
    default: return "Compression or uncompression failed";
  }
}

}  // namespace vorlo
