// What every layer of a call writes through: the call's log, the file
// system its outputs go to, the output files it opened, the host's hold
// on the call (its step, progress and cancel flag), and the cause of its
// failure.
#pragma once

#include "base/call_control.h"
#include "base/cause.h"
#include "base/file.h"
#include "base/log.h"
#include "base/output_files.h"

#include <string>

namespace qv {

struct Io {
    MergeLog log;
    FileSystem *fs = nullptr; // none: the disk
    CallControl call;         // the host's options of the call and its current step
    OutputFiles outputs;      // the output images as the merges open them
    Cause cause;              // why the call failed, in the user's terms

    // Opens the output image `path` of the call (see OutputFiles::open).
    File openOutput(const std::string &path, const char *mode) { return outputs.open(path, mode, fs); }
    // A scratch file of the call (see OutputFiles::scratch).
    std::string scratchPath(const std::string &dirPrefix, const char *name) {
        return outputs.scratch(dirPrefix, name);
    }
};

} // namespace qv
