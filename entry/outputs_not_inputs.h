// Outputs that are inputs, or each other: a merge would destroy the input
// or one output would overwrite the other. Checked before anything is opened.
#pragma once

#include "base/cause.h"
#include "entry/host_args.h"

#include <string>

namespace qv {

// 0 when no output (the three images and the log; empty paths are none) is
// the same file as an input of any list or as another output: the same
// device and inode (volume and file index on Windows) for files that exist,
// the same normalised absolute path for those that do not. Else the code with
// `msg` naming both paths, and `why` (when given) what makes them one.
int checkOutputsAreNotInputs(const HostLists &in, const MergeOutputs &out, const std::string &logPath,
                             std::string &msg, Cause *why = nullptr);

} // namespace qv
