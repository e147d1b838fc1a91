// Where a package may be written. vorlo-pack never overwrites or deletes a file it did not make: the
// output may not be one of the project's own files, may not lie in the folder being archived (the
// package would archive itself), and an existing file there is replaced only when it is a package.
#pragma once
#include <string>

#include "tools/pack/manifest.h"

namespace vorlo::pack {

// Throws std::runtime_error saying what is wrong with the output path and what to do instead.
void checkOutputPath(const Manifest& m, const std::string& runtime, const std::string& output);

// True when the file is a program that carries a package (the resources vorlo-pack writes).
bool isPackage(const std::string& path);

}  // namespace vorlo::pack
