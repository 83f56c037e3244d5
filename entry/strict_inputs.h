// Strict inputs: every named input must exist, be a regular file that can
// be read, be recognised as what its list and name make it, and be merged.
// Checked before any output is touched; the sorting rules themselves are
// those of driver/inputs.h.
#pragma once

#include "base/cause.h"
#include "entry/host_args.h"

#include <string>

namespace qv {

// 0, or the code of the first input that fails, with `msg` naming the file
// and why, and `why` (when given) where the path breaks off, what the file
// is instead, or the system's reason.
int checkStrictInputs(const HostLists &in, std::string &msg, Cause *why = nullptr);

} // namespace qv
