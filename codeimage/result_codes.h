// Messages of the codes by which a generator of the code image refuses its
// input file (the codes themselves are in base/results.h).
#pragma once

#include "base/results.h"

namespace qv {

// Message format (one %s: the input file's path) of a code by which a
// generator refuses its input file, or nullptr for any other code.
const char *refusalFormat(int code);

} // namespace qv
