#include "projector/exceptions.h"

#include "util/platform.h"

namespace vorlo {

ProjectorError::ProjectorError() : std::runtime_error(os::lastErrorText()) {}

const char* ZipError::messageFor(int zlibCode) {
  switch (zlibCode) {
    case -5: return "There was not enough room in the compress(uncompress) output buffer";
    case -4: return "There was not enough memory for compress(uncompress)";
    case -3: return "The compress(uncompress) input data was corrupted";
    case -2: return "The compress level parameter is invalid";
    default: return "Compression or uncompression failed";
  }
}

}  // namespace vorlo
