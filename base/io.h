// What every layer of a call writes through: the call's log and the file
// system its outputs go to.
#pragma once

#include "base/file.h"
#include "base/log.h"

namespace qv {

struct Io {
    MergeLog log;
    FileSystem *fs = nullptr; // none: the disk
};

} // namespace qv
